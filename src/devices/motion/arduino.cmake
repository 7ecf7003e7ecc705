# Arduino serial link and light sources
target_sources(nerin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/arduino_protocol.cpp)
if(WIN32)
  target_sources(nerin_win PRIVATE ${CMAKE_CURRENT_LIST_DIR}/arduino_link.cpp)
endif()
