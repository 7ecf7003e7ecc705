if(WIN32)
  target_sources(nerin_win PRIVATE ${CMAKE_CURRENT_LIST_DIR}/stage_axis.cpp)
endif()
