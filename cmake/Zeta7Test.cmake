include(GoogleTest)

# zeta7_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [TIMEOUT <s>])
#
# One GoogleTest program a call, registered with CTest test by test. Every
# program gets the main() of tests/support, which gives it a private HOME and
# the offscreen Qt platform; GUI programs get the one with a QApplication.
function(zeta7_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${name} PRIVATE ${T_LIBS} zeta7_qt_test_main Qt6::Test GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} zeta7_test_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
