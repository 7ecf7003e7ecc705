# Stage axes: the portable arithmetic in the core, the controller binding and
# the axis operations (which wait through the message pump) on the Win32 side.
target_sources(nerin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/stage_math.cpp)
if(WIN32)
  target_sources(nerin_win PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/stage_axis.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ximc_library.cpp)
endif()
