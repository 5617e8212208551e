# nlohmann's JSON library (Debian: nlohmann-json3-dev, header-only) as the
# target zeta7_json. The Linux build takes the package's CMake config. The
# Windows cross build cannot: the config points at /usr/include, whose C
# headers would hide mingw's, so the build folder gets a folder that holds
# only a link to the library's own headers.
if(NOT WIN32)
  find_package(nlohmann_json 3.10 REQUIRED)
  add_library(zeta7_json INTERFACE)
  target_link_libraries(zeta7_json INTERFACE nlohmann_json::nlohmann_json)
  return()
endif()
find_path(ZETA7_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZETA7_JSON_INCLUDE)
  message(FATAL_ERROR "no nlohmann/json.hpp (Debian: apt-get install nlohmann-json3-dev)")
endif()
set(zeta7_json_dir ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${zeta7_json_dir})
file(CREATE_LINK ${ZETA7_JSON_INCLUDE}/nlohmann ${zeta7_json_dir}/nlohmann SYMBOLIC)
add_library(zeta7_json INTERFACE)
target_include_directories(zeta7_json SYSTEM INTERFACE ${zeta7_json_dir})
