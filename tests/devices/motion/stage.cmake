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

  # No library at all beside the program; the fake lies in another folder,
  # from which the test starts the search.
  nerin_wine_test(stage_absent_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/stage_absent_test.cpp)
  set_target_properties(stage_absent_tests PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/stage_absent)
  target_compile_definitions(stage_absent_tests PRIVATE STAGE_FAKE_DIR="${STAGE_FAKE_DIR}")
  add_dependencies(stage_absent_tests fake_ximc)

  # A libximc.dll that lacks an entry point the program needs.
  set(STAGE_INCOMPLETE_DIR ${CMAKE_CURRENT_BINARY_DIR}/stage_incomplete)
  stage_fake_ximc(fake_ximc_incomplete ${STAGE_INCOMPLETE_DIR})
  target_compile_definitions(fake_ximc_incomplete PRIVATE FAKE_XIMC_WITHOUT_STOP)
  nerin_wine_test(stage_incomplete_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/stage_absent_test.cpp)
  target_compile_definitions(stage_incomplete_tests PRIVATE STAGE_TEST_INCOMPLETE_LIBRARY)
  set_target_properties(stage_incomplete_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STAGE_INCOMPLETE_DIR})
  add_dependencies(stage_incomplete_tests fake_ximc_incomplete)
endif()
