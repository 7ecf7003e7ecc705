# nerin_fake_camera_runtime(<target> <directory>)
#     The fake camera runtime, built as PylonC_v6_3.dll into <directory>,
#     beside the test program that uses it: the program finds it there as it
#     would the vendor's runtime.
function(nerin_fake_camera_runtime target directory)
  if(NOT WIN32)
    return()
  endif()
  add_library(${target} SHARED ${PROJECT_SOURCE_DIR}/tests/imaging/fake_pylon/fake_pylon.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME "PylonC_v6_3"
    RUNTIME_OUTPUT_DIRECTORY ${directory}
    LIBRARY_OUTPUT_DIRECTORY ${directory}
    ARCHIVE_OUTPUT_DIRECTORY ${directory}/lib)
endfunction()
