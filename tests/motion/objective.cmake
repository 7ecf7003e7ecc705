# Objective changer tests
nerin_native_test(objective_core_tests ${CMAKE_CURRENT_LIST_DIR}/objective_plan_test.cpp)

# Against the emulated board, like the link's own tests.
nerin_board_test(objective_win_tests COM 22 SOURCES ${CMAKE_CURRENT_LIST_DIR}/objective_changer_test.cpp)
