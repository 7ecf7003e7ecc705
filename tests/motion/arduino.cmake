# Arduino link tests
nerin_native_test(arduino_protocol_tests ${CMAKE_CURRENT_LIST_DIR}/arduino_protocol_test.cpp)

if(WIN32)
  # The link against an emulated board on a pseudo-terminal: the emulator
  # links the test prefix's COM port to it and runs the program under Wine.
  find_program(NERIN_PYTHON3 NAMES python3 REQUIRED)
  add_executable(arduino_win_tests ${CMAKE_CURRENT_LIST_DIR}/arduino_link_test.cpp)
  target_link_libraries(arduino_win_tests PRIVATE nerin_win nerin_core nerin_ui_driver GTest::gtest_main ws2_32)
  add_test(NAME arduino_win_tests
           COMMAND ${NERIN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/arduino_emulator.py --com 21
                   -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:arduino_win_tests>)
  set_tests_properties(arduino_win_tests PROPERTIES LABELS wine TIMEOUT 300 RUN_SERIAL ON)
endif()
