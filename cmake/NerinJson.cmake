# nlohmann/json, header-only: the metadata records beside the result files
# are built with it. Debian's nlohmann-json3-dev puts it in
# /usr/include/nlohmann; a Windows build can take it from vcpkg
# (find_package) or from any folder holding json.hpp (-DNERIN_JSON_DIR=...).
#
# The cross build must not see Linux's own /usr/include, so the headers are
# copied into a folder of the build tree that holds nothing else, and only
# that folder goes on the include path.
add_library(nerin_json INTERFACE)

if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3.9 CONFIG QUIET)
endif()

if(TARGET nlohmann_json::nlohmann_json)
  target_link_libraries(nerin_json INTERFACE nlohmann_json::nlohmann_json)
else()
  set(NERIN_JSON_DIR /usr/include/nlohmann CACHE PATH "Folder holding nlohmann's json.hpp")
  if(NOT EXISTS ${NERIN_JSON_DIR}/json.hpp)
    message(FATAL_ERROR "nlohmann/json not found in ${NERIN_JSON_DIR}: install nlohmann-json3-dev "
                        "(scripts/ensure-packages.sh does) or set NERIN_JSON_DIR")
  endif()
  set(NERIN_JSON_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json)
  file(COPY ${NERIN_JSON_DIR}/ DESTINATION ${NERIN_JSON_INCLUDE}/nlohmann)
  target_include_directories(nerin_json SYSTEM INTERFACE ${NERIN_JSON_INCLUDE})
endif()
