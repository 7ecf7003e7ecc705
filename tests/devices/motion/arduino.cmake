# The stage and the board against their fakes, as the scenarios of
# motion.scenario: one program under the emulated board (a pseudo-terminal
# behind COM21), with the fake controller library beside it.
nerin_board_test(motion_win_tests COM 21 SOURCES ${CMAKE_CURRENT_LIST_DIR}/motion_win_test.cpp ${STAGE_RESOURCES})
if(TARGET motion_win_tests)
  target_include_directories(motion_win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fake_ximc)
  target_compile_definitions(motion_win_tests PRIVATE MOTION_SCENARIO="${CMAKE_CURRENT_LIST_DIR}/motion.scenario")
  set_target_properties(motion_win_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STAGE_FAKE_DIR})
  add_dependencies(motion_win_tests fake_ximc)
endif()
