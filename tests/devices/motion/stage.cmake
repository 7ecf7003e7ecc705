if(WIN32)
  # The fake controller library, built as libximc.dll beside the test
  # program that uses it (never beside the real program in bin/): the
  # program finds it there first, as it would the vendor's DLL.
  function(stage_fake_ximc target directory)
    nerin_fake_library(${target} ${PROJECT_SOURCE_DIR}/tests/devices/motion/fake_ximc/fake_ximc.cpp libximc.dll ${directory})
  endfunction()

  set(STAGE_RESOURCES ${PROJECT_SOURCE_DIR}/src/resources/nerin_station.rc)
  if(MINGW)
    set_source_files_properties(${STAGE_RESOURCES} PROPERTIES COMPILE_FLAGS "-c 65001")
  endif()
  set(STAGE_FAKE_DIR ${CMAKE_CURRENT_BINARY_DIR}/stage_fake)
  stage_fake_ximc(fake_ximc ${STAGE_FAKE_DIR})
endif()
