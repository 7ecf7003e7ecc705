# Objective changer tests
nerin_native_test(objective_core_tests ${CMAKE_CURRENT_LIST_DIR}/objective_plan_test.cpp)

# Against the emulated board, like the link's own tests.
nerin_board_test(objective_win_tests COM 22 SOURCES ${CMAKE_CURRENT_LIST_DIR}/objective_changer_test.cpp)
# A camera is present (the fake runtime beside the program), so live video,
# switched back on after a change, leaves the status line to the turret.
nerin_fake_camera_runtime(fake_pylon_for_objective ${CMAKE_CURRENT_BINARY_DIR})
if(WIN32)
  add_dependencies(objective_win_tests fake_pylon_for_objective)
endif()
