# The Windows executable: the launcher, the argument-text cut and our own
# start-up, with no C runtime.
add_executable(velmora WIN32
  src/platform/argument_text.cpp
  src/platform/windows/start.cpp
)
target_link_libraries(velmora PRIVATE velmora_launcher)

if(MSVC)
  target_compile_options(velmora_launcher PRIVATE /GS- /Os)
  target_compile_options(velmora PRIVATE /GS- /Os)
  target_link_options(velmora PRIVATE /ENTRY:VelmoraStart /NODEFAULTLIB
                      /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT)
  target_link_libraries(velmora PRIVATE kernel32 user32 advapi32)
else()
  set(velmora_freestanding -Os -fno-exceptions -fno-rtti -fno-stack-protector
      -fno-asynchronous-unwind-tables)
  target_compile_options(velmora_launcher PRIVATE ${velmora_freestanding})
  target_compile_options(velmora PRIVATE ${velmora_freestanding})
  target_link_options(velmora PRIVATE -nostdlib -nostartfiles
                      -Wl,-e,VelmoraStart -Wl,--dynamicbase
                      -Wl,--high-entropy-va -Wl,--nxcompat -s)
  target_link_libraries(velmora PRIVATE kernel32 user32 advapi32)
endif()
