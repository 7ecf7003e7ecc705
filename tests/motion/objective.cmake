# Objective changer tests
nerin_native_test(objective_core_tests ${CMAKE_CURRENT_LIST_DIR}/objective_plan_test.cpp)

if(WIN32)
  # Against the emulated board, like the link's own tests.
  add_executable(objective_win_tests ${CMAKE_CURRENT_LIST_DIR}/objective_changer_test.cpp)
  target_link_libraries(objective_win_tests PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ws2_32)
  add_test(NAME objective_win_tests
           COMMAND ${NERIN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/arduino_emulator.py --com 22
                   -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:objective_win_tests>)
  set_tests_properties(objective_win_tests PROPERTIES LABELS wine TIMEOUT 300 RUN_SERIAL ON)
endif()
