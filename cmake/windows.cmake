# The Windows build: velmora.exe with its resources, and the tests that run
# against the real executable (file checks, and Wine where it is available).
enable_language(RC)

set(velmora_generated ${PROJECT_BINARY_DIR}/generated)
configure_file(src/platform/windows/velmora_version.h.in
               ${velmora_generated}/velmora_version.h @ONLY)
configure_file(src/platform/windows/velmora.manifest.in
               ${velmora_generated}/velmora.manifest @ONLY)

# A program without a C runtime: our own entry point, only the Windows import
# libraries named by the target, the loader protections on (ASLR with 64-bit
# entropy, DEP, terminal-server aware), subsystem version 6.0, stripped, and
# no link time stamp so that the same sources give the same bytes.
function(velmora_freestanding target entry subsystem)
  if(MSVC)
    # Not built here (no MSVC on the build machines): kept in step by hand.
    target_compile_options(${target} PRIVATE /GS- /Os /GR- /EHs-c-)
    target_link_options(${target} PRIVATE /ENTRY:${entry} /NODEFAULTLIB
                        /SUBSYSTEM:${subsystem},6.00 /DYNAMICBASE
                        /HIGHENTROPYVA /NXCOMPAT /TSAWARE /MANIFEST:NO /Brepro)
  else()
    target_compile_options(${target} PRIVATE -Os -fno-exceptions -fno-rtti
                           -fno-stack-protector -fno-asynchronous-unwind-tables)
    # GNU ld and lld's MinGW mode take the same options.
    target_link_options(${target} PRIVATE -nostdlib -nostartfiles -s
      "LINKER:-e,${entry}"
      "LINKER:--subsystem,${subsystem}"
      "LINKER:--major-subsystem-version,6,--minor-subsystem-version,0"
      "LINKER:--major-os-version,6,--minor-os-version,0"
      "LINKER:--dynamicbase,--high-entropy-va,--nxcompat,--tsaware"
      "LINKER:--no-insert-timestamp")
  endif()
endfunction()

add_executable(velmora WIN32
  src/platform/argument_text.cpp
  src/platform/windows/start.cpp
  src/platform/windows/velmora.rc
)
target_include_directories(velmora PRIVATE
  src/platform/windows ${velmora_generated})
set_property(SOURCE src/platform/windows/velmora.rc APPEND PROPERTY
  OBJECT_DEPENDS ${velmora_generated}/velmora_version.h
                 ${velmora_generated}/velmora.manifest)
velmora_freestanding(velmora VelmoraStart windows)
target_link_libraries(velmora PRIVATE velmora_launcher kernel32 user32 advapi32)
if(MSVC)
  target_compile_options(velmora_launcher PRIVATE /GS- /Os)
else()
  target_compile_options(velmora_launcher PRIVATE -Os -fno-stack-protector
                         -fno-asynchronous-unwind-tables)
endif()

# The smallest program the same toolchain makes, bare and with velmora.exe's
# imports and resources, for scripts/bench to measure velmora.exe's start-up
# against.
add_executable(velmora_empty WIN32 bench/windows/empty_start.cpp)
velmora_freestanding(velmora_empty EmptyStart windows)
target_link_libraries(velmora_empty PRIVATE kernel32)

add_executable(velmora_empty_imports WIN32
  bench/windows/empty_start.cpp
  src/platform/windows/velmora.rc
)
target_compile_definitions(velmora_empty_imports PRIVATE VELMORA_SAME_IMPORTS)
target_include_directories(velmora_empty_imports PRIVATE
  src/platform/windows ${velmora_generated})
velmora_freestanding(velmora_empty_imports EmptyStart windows)
target_link_libraries(velmora_empty_imports PRIVATE kernel32 user32 advapi32)

enable_testing()
add_subdirectory(tests/e2e)
