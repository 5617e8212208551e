include(GoogleTest)

# zeta7_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [TIMEOUT <s>])
#
# One GoogleTest program a call, registered with CTest test by test. Every
# program gets the main() of tests/support, which gives it a private HOME and
# the offscreen Qt platform; GUI programs get the one with a QApplication.
#
# In the Windows build the programs are only built: scripts/wine-test.sh runs
# each one under Wine in a prefix of its own, which CTest cannot set up. The
# list of programs and their time limits goes to win-tests.txt in the build
# folder for that script.
function(zeta7_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${T_LIBS} zeta7_test_main)
    set_property(GLOBAL APPEND PROPERTY ZETA7_WIN_TESTS "${name} ${T_TIMEOUT}")
    return()
  endif()
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

# Writes the list of Windows test programs (after every zeta7_add_test).
function(zeta7_write_win_test_list)
  get_property(tests GLOBAL PROPERTY ZETA7_WIN_TESTS)
  list(JOIN tests "\n" text)
  file(WRITE ${CMAKE_BINARY_DIR}/win-tests.txt "${text}\n")
endfunction()
