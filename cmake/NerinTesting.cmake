# Helpers shared by the test folders.
#
#   nerin_native_test(<name> <sources...>)
#       A GoogleTest program of the portable core, built natively; each test
#       case becomes its own ctest entry.
#   nerin_wine_test(<name> SOURCES <sources...> [LIBS <libs...>] [WRAPPER <command...>] [ARGS <args...>])
#       A GoogleTest program of the Win32 side; ctest runs it through Wine
#       (the cross-compiling emulator) inside the harness of tests/harness,
#       under the wrapper command when one is given (it prepares something
#       the program needs, then runs the rest of its command line), with the
#       program arguments given.
#   nerin_wine_skippable_test(<name> <program> <gtest filter> WRAPPER <command...>)
#       The cases of an existing program that need what the wrapper may not
#       be able to prepare here (rights the user lacks): ctest shows the
#       entry as skipped, not passed, when they skip.

# What every test program shares, and why its build is lighter than the
# program's: the code under test (nerin_core, nerin_win) is built exactly as
# the program ships it; the test programs' own sources are built without
# optimisation (they drive and compare, they compute nothing heavy), and they
# share one precompiled header of GoogleTest, nlohmann/json, <windows.h> and
# the standard headers most of them include, since parsing those is most of
# a test source's compile time. On the Win32 side each program also gets the
# data folders made before its first case (tests/support/data_folders.cpp,
# compiled once for all).
#
#   nerin_test_build_settings(<target>)
function(nerin_test_build_settings target)
  if(WIN32)
    if(NOT TARGET nerin_test_data_folders)
      add_library(nerin_test_data_folders OBJECT ${PROJECT_SOURCE_DIR}/tests/support/data_folders.cpp)
      target_link_libraries(nerin_test_data_folders PRIVATE nerin_win)
    endif()
    target_link_libraries(${target} PRIVATE nerin_test_data_folders)
  endif()
  if(MSVC)
    return()
  endif()
  if(NOT TARGET nerin_test_pch)
    set(pch_source ${PROJECT_BINARY_DIR}/nerin_test_pch.cpp)
    file(CONFIGURE OUTPUT ${pch_source} CONTENT "// The test programs' precompiled header is built with this file.\n")
    add_library(nerin_test_pch OBJECT ${pch_source})
    target_compile_options(nerin_test_pch PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-O0>)
    target_link_libraries(nerin_test_pch PRIVATE nerin_core GTest::gtest)
    set(pch_headers <gtest/gtest.h> <nlohmann/json.hpp> <algorithm> <cmath> <cstdio> <cstdlib> <cstring> <string>
                    <thread> <vector>)
    if(WIN32)
      target_link_libraries(nerin_test_pch PRIVATE nerin_win)
      list(APPEND pch_headers <windows.h>)
    endif()
    target_precompile_headers(nerin_test_pch PRIVATE ${pch_headers})
  endif()
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-O0>)
  target_precompile_headers(${target} REUSE_FROM nerin_test_pch)
endfunction()

function(nerin_native_test name)
  if(WIN32)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE nerin_core GTest::gtest_main)
  nerin_test_build_settings(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
endfunction()

function(nerin_wine_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;WRAPPER;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ${ARG_LIBS})
  nerin_test_build_settings(${name})
  # One ctest entry per program: every Wine start costs about a second, so the
  # program runs its cases in one process and GoogleTest reports each of them.
  if(ARG_WRAPPER)
    add_test(NAME ${name} COMMAND ${ARG_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}> ${ARG_ARGS})
  else()
    add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT ${ARG_TIMEOUT} RUN_SERIAL ON)
endfunction()

function(nerin_wine_skippable_test name program filter)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "WRAPPER" ${ARGN})
  add_test(NAME ${name} COMMAND ${ARG_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${program}>
           --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300 RUN_SERIAL ON
                       SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endfunction()

#   nerin_wine_test_elsewhere(<name> <program> <directory> ENVIRONMENT <var=value...> [PREFIX <command...>])
#       One more ctest entry for an existing Win32 test program, run from a
#       copy of it in another folder (beside other libraries, or none) with
#       these environment variables (the scenario files it is to run): the
#       program is compiled once for both. PREFIX comes before the emulator
#       (the board emulator for a board test).
function(nerin_wine_test_elsewhere name program directory)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "ENVIRONMENT;PREFIX" ${ARGN})
  add_custom_command(TARGET ${program} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${directory}/${program}.exe)
  add_test(NAME ${name} COMMAND ${ARG_PREFIX} ${CMAKE_CROSSCOMPILING_EMULATOR} ${directory}/${program}.exe)
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300 RUN_SERIAL ON ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()

#   nerin_board_test(<name> COM <n> SOURCES <sources...>)
#       A Win32 test program that talks to the Arduino: ctest runs it under
#       tests/devices/motion/arduino_emulator.py, which puts the emulated board
#       behind COM<n> of the test Wine prefix.
function(nerin_board_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "COM" "SOURCES" ${ARGN})
  find_program(NERIN_PYTHON3 NAMES python3 REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/devices/motion)
  target_link_libraries(${name} PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ws2_32)
  nerin_test_build_settings(${name})
  add_test(NAME ${name}
           COMMAND ${NERIN_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/devices/motion/arduino_emulator.py --com ${ARG_COM}
                   -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300 RUN_SERIAL ON)
endfunction()

#   nerin_fake_library(<target> <source> <file name> <directory>)
#       A test fake of a vendor library, built as <file name> (for example
#       libximc.dll) into <directory>, beside the test program that is to
#       find it there first, as it would the vendor's; exports by plain name.
function(nerin_fake_library target source fileName directory)
  if(NOT WIN32)
    return()
  endif()
  add_library(${target} SHARED)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  get_filename_component(baseName ${fileName} NAME_WE)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${baseName}
    RUNTIME_OUTPUT_DIRECTORY ${directory}
    LIBRARY_OUTPUT_DIRECTORY ${directory}
    ARCHIVE_OUTPUT_DIRECTORY ${directory}/lib)
  # The same fake lies beside many test programs: its source is compiled once
  # and each copy only linked, unless the caller gives this copy definitions
  # options or include folders of its own (a fake lacking an entry point),
  # which it may do after this call: the choice is made at the end of the
  # caller's folder.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _nerin_fake_library_sources [[${target}]] [[${source}]])")
endfunction()

# A fake, like the test programs' own sources, computes nothing heavy: built
# without optimisation, which halves its compile time.
function(_nerin_fake_unoptimised target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-O0>)
  endif()
endfunction()

function(_nerin_fake_library_sources target source)
  get_target_property(definitions ${target} COMPILE_DEFINITIONS)
  get_target_property(options ${target} COMPILE_OPTIONS)
  get_target_property(includes ${target} INCLUDE_DIRECTORIES)
  # Options every target of the folder has (the warnings) are no options of
  # this copy's own.
  get_directory_property(folderOptions COMPILE_OPTIONS)
  if(definitions OR (options AND NOT options STREQUAL "${folderOptions}")
     OR NOT includes STREQUAL "${PROJECT_SOURCE_DIR}/src;${PROJECT_SOURCE_DIR}/tests/support")
    target_sources(${target} PRIVATE ${source})
    _nerin_fake_unoptimised(${target})
    return()
  endif()
  string(MAKE_C_IDENTIFIER "${source}" key)
  get_property(objects GLOBAL PROPERTY nerin_fake_objects_${key})
  if(NOT objects)
    get_filename_component(name ${source} NAME_WE)
    set(objects nerin_fake_objects_${name})
    while(TARGET ${objects})
      set(objects ${objects}_)
    endwhile()
    add_library(${objects} OBJECT ${source})
    target_include_directories(${objects} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support)
    _nerin_fake_unoptimised(${objects})
    set_property(GLOBAL PROPERTY nerin_fake_objects_${key} ${objects})
  endif()
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:${objects}>)
endfunction()
