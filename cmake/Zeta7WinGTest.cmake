# GoogleTest for the Windows build, compiled inside the cross build from the
# sources Debian's googletest package installs (there is no prebuilt Windows
# copy). Included before the project's warning flags, which are not meant for
# third-party code.
set(ZETA7_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${ZETA7_GTEST_SOURCE}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "no GoogleTest sources in ${ZETA7_GTEST_SOURCE} (Debian: apt-get install googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ZETA7_GTEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()
