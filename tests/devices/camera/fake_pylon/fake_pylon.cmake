# nerin_fake_camera_runtime(<target> <directory>)
#     The fake camera runtime, built as PylonC_v6_3.dll into <directory>,
#     beside the test program that uses it.
function(nerin_fake_camera_runtime target directory)
  nerin_fake_library(${target} ${PROJECT_SOURCE_DIR}/tests/devices/camera/fake_pylon/fake_pylon.cpp PylonC_v6_3.dll
                     ${directory})
endfunction()
