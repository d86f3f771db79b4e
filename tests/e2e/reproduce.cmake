# Builds velmora.exe again, from scratch and in another folder, and fails
# unless it comes out byte for byte the same as the executable under test.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DTOOLCHAIN=...
#         -DBUILD_TYPE=... -DEXPECTED=.../velmora.exe -P reproduce.cmake
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  RESULT_VARIABLE configured OUTPUT_QUIET)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the second configure failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target velmora -j2
  RESULT_VARIABLE built OUTPUT_QUIET)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the second build failed")
endif()
file(SHA256 ${EXPECTED} first)
file(SHA256 ${WORK_DIR}/velmora.exe second)
file(REMOVE_RECURSE ${WORK_DIR})
if(NOT first STREQUAL second)
  message(FATAL_ERROR "velmora.exe differs between two builds of the same sources:\n"
                      "  ${first}\n  ${second}")
endif()
message(STATUS "two builds gave the same velmora.exe: ${first}")
