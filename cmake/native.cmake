# The native build: the code without a Windows header, built by the host's clang under
# AddressSanitizer and UndefinedBehaviorSanitizer (the flags come from the "native" preset).
# A library joins by adding its folder to PURE_LIBRARIES in the top CMakeLists.txt; its tests/
# and fuzz/ folders, when present, come along.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
find_program(PYTHON3_PROGRAM python3 REQUIRED)

# A GoogleTest program, passed only on GoogleTest's own report of every test passed.
function(add_native_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest_main)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  add_test(NAME ${name}
    COMMAND ${PYTHON3_PROGRAM} ${CMAKE_SOURCE_DIR}/scripts/run_gtest.py $<TARGET_FILE:${name}>
      ${CMAKE_BINARY_DIR}/test-reports/${name}.xml)
endfunction()

# A libFuzzer target over a copy of `library` built with coverage instrumentation (the copy the
# unit tests link stays uninstrumented). ctest runs it once over its seed corpus;
# scripts/fuzz.sh fuzzes it.
function(add_fuzz_target name source library corpus)
  set(instrumented ${library}_fuzzing)
  if(NOT TARGET ${instrumented})
    get_target_property(sources ${library} SOURCES)
    get_target_property(folder ${library} SOURCE_DIR)
    list(TRANSFORM sources PREPEND ${folder}/)
    add_library(${instrumented} STATIC ${sources})
    target_include_directories(${instrumented} PUBLIC ${folder})
    target_compile_options(${instrumented} PRIVATE -fsanitize=fuzzer-no-link)
    get_target_property(links ${library} LINK_LIBRARIES)
    if(links)
      target_link_libraries(${instrumented} PUBLIC ${links})
    endif()
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${instrumented})
  target_compile_options(${name} PRIVATE -Wall -Wextra -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_test(NAME ${name}_corpus COMMAND $<TARGET_FILE:${name}> -runs=0 ${corpus})
endfunction()

enable_testing()
foreach(folder ${PURE_LIBRARIES})
  add_subdirectory(${folder})
  foreach(part tests fuzz)
    if(EXISTS ${CMAKE_SOURCE_DIR}/${folder}/${part}/CMakeLists.txt)
      add_subdirectory(${folder}/${part})
    endif()
  endforeach()
endforeach()
