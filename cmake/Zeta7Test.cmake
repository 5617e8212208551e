include(GoogleTest)

# zeta7_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [TIMEOUT <s>])
#
# One GoogleTest program a call, registered with CTest test by test. GUI tests
# get the Qt test main from tests/support and run on the offscreen platform;
# every test gets a private HOME so nothing touches the developer's own files.
function(zeta7_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${name} PRIVATE ${T_LIBS} zeta7_qt_test_main Qt6::Test GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  endif()
  set(test_home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${test_home})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen\\;HOME=${test_home}\\;XDG_CONFIG_HOME=${test_home}/.config\\;ZETA7_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()
