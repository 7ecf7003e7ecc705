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

function(nerin_native_test name)
  if(WIN32)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE nerin_core GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
endfunction()

function(nerin_wine_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;WRAPPER;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/data_folders.cpp)
  target_link_libraries(${name} PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ${ARG_LIBS})
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
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/data_folders.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/devices/motion)
  target_link_libraries(${name} PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ws2_32)
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
  add_library(${target} SHARED ${source})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  get_filename_component(baseName ${fileName} NAME_WE)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${baseName}
    RUNTIME_OUTPUT_DIRECTORY ${directory}
    LIBRARY_OUTPUT_DIRECTORY ${directory}
    ARCHIVE_OUTPUT_DIRECTORY ${directory}/lib)
endfunction()
