# Arduino link tests
nerin_native_test(arduino_protocol_tests ${CMAKE_CURRENT_LIST_DIR}/arduino_protocol_test.cpp)

# The link against an emulated board on a pseudo-terminal.
nerin_board_test(arduino_win_tests COM 21 SOURCES ${CMAKE_CURRENT_LIST_DIR}/arduino_link_test.cpp)
