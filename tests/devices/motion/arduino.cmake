# The stage and the board against their fakes, as the rows of scenario files
# (the files given are run in order): programs under the emulated board (a
# pseudo-terminal behind COM21), in the folder given.
function(motion_scenarios name directory)
  nerin_board_test(${name} COM 21 SOURCES ${CMAKE_CURRENT_LIST_DIR}/motion_win_test.cpp ${STAGE_RESOURCES})
  if(NOT TARGET ${name})
    return()
  endif()
  list(TRANSFORM ARGN PREPEND "\"${CMAKE_CURRENT_LIST_DIR}/")
  list(TRANSFORM ARGN APPEND "\"")
  list(JOIN ARGN "," files)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fake_ximc)
  target_compile_definitions(${name} PRIVATE "MOTION_SCENARIO=${files}" STAGE_FAKE_DIR="${STAGE_FAKE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${directory})
  add_dependencies(${name} fake_ximc)
endfunction()
# With the fake controller library beside the program.
motion_scenarios(motion_win_tests ${STAGE_FAKE_DIR} motion.scenario)
# A libximc.dll that lacks an entry point the program needs.
set(STAGE_INCOMPLETE_DIR ${CMAKE_CURRENT_BINARY_DIR}/stage_incomplete)
if(WIN32)
  stage_fake_ximc(fake_ximc_incomplete ${STAGE_INCOMPLETE_DIR})
  target_compile_definitions(fake_ximc_incomplete PRIVATE FAKE_XIMC_WITHOUT_STOP)
endif()
# The same program, compiled once, beside no library at all (the fake lies
# in another folder, from which the search is started) and beside the
# incomplete one; without the fake it touches no library itself.
if(TARGET motion_win_tests)
  find_program(NERIN_PYTHON3 NAMES python3 REQUIRED)
  set(board ${NERIN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/arduino_emulator.py --com 21 --)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/stage_absent)
  nerin_wine_test_elsewhere(stage_absent_tests motion_win_tests ${CMAKE_CURRENT_BINARY_DIR}/stage_absent
    ENVIRONMENT NERIN_MOTION_WITHOUT_FAKE=1
      "NERIN_MOTION_SCENARIO=${CMAKE_CURRENT_LIST_DIR}/stage_absent.scenario|${CMAKE_CURRENT_LIST_DIR}/stage_start_folder.scenario"
    PREFIX ${board})
  nerin_wine_test_elsewhere(stage_incomplete_tests motion_win_tests ${STAGE_INCOMPLETE_DIR}
    ENVIRONMENT NERIN_MOTION_WITHOUT_FAKE=1
      "NERIN_MOTION_SCENARIO=${CMAKE_CURRENT_LIST_DIR}/stage_incomplete.scenario|${CMAKE_CURRENT_LIST_DIR}/stage_absent.scenario"
    PREFIX ${board})
  add_dependencies(motion_win_tests fake_ximc_incomplete)
endif()
