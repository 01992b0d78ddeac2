# tilvane_x11_test(NAME DEPS target... [DESKTOP one|two] [TIMEOUT seconds] [MATRIX [MATRIX_FILTER expr] [MATRIX_WMS wm...]]
#                  [DESKTOPS kind...])
# Like tilvane_test(), for tests that need the X test desktop: every test of the binary requires the desktop's
# ctest fixture, holds its resource lock (tests share one desktop, one at a time), and finds the desktop through
# TILVANE_TEST_DESKTOP (the one environment variable: gtest_discover_tests splits a list of them into
# separate properties). Include this file from the tests' CMakeLists.txt.
#
# MATRIX runs the tests (those MATRIX_FILTER, a gtest filter, selects) once more under each other window manager
# of TILVANE_X11_MATRIX, on a one-monitor desktop of its own, named "<wm>.<test>"; the desktops have their own
# locks, so ctest runs the window managers side by side. MATRIX_WMS names the window managers to use instead of
# all of TILVANE_X11_MATRIX. Matrix tests carry the label x11_matrix (x11 otherwise).
#
# DESKTOPS runs the tests on these desktops instead (kinds of tests/support/x11/CMakeLists.txt, such as those with
# the window manager's own panel), once each, named "<kind>.<test>", with the label x11_matrix.

# The window managers the X11 end-to-end group runs under besides openbox (tests/support/x11/test-desktop.sh --wm).
set(TILVANE_X11_MATRIX icewm xfwm4 xfwm4-compositor fluxbox)

function(tilvane_x11_test name)
  cmake_parse_arguments(ARG "MATRIX" "DESKTOP;MATRIX_FILTER;TIMEOUT" "DEPS;SOURCES;MATRIX_WMS;DESKTOPS" ${ARGN})
  if(NOT ARG_DESKTOP)
    set(ARG_DESKTOP one)
  endif()
  # Seconds each test may take (ctest's own time-out).
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_executable(${name} ${sources} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/tilvane
                                              ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tilvane_x11_test_support tilvane_test_main GTest::gmock)
  # The X backends run on the main thread alone: a ThreadSanitizer tree leaves these tests out (unbuilt: the
  # folder is out of its default build).
  if(TILVANE_SANITIZE_THREAD)
    return()
  endif()
  foreach(kind ${ARG_DESKTOPS})
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      TEST_PREFIX "${kind}."
      PROPERTIES
        ENVIRONMENT "TILVANE_TEST_DESKTOP=${CMAKE_BINARY_DIR}/x11-desktop/${kind}"
        FIXTURES_REQUIRED x11_desktop_${kind}
        RESOURCE_LOCK x11_desktop_${kind}
        TIMEOUT ${ARG_TIMEOUT}
        LABELS x11_matrix)
  endforeach()
  if(ARG_DESKTOPS)
    return()
  endif()
  # One label each (a list would be split into properties): -L x11 matches both.
  set(label x11)
  if(ARG_MATRIX)
    set(label x11_matrix)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES
      ENVIRONMENT "TILVANE_TEST_DESKTOP=${CMAKE_BINARY_DIR}/x11-desktop/${ARG_DESKTOP}"
      FIXTURES_REQUIRED x11_desktop_${ARG_DESKTOP}
      RESOURCE_LOCK x11_desktop_${ARG_DESKTOP}
      TIMEOUT ${ARG_TIMEOUT}
      LABELS ${label})
  if(NOT ARG_MATRIX)
    return()
  endif()
  set(filter "*")
  if(ARG_MATRIX_FILTER)
    set(filter "${ARG_MATRIX_FILTER}")
  endif()
  set(wms ${TILVANE_X11_MATRIX})
  if(ARG_MATRIX_WMS)
    set(wms ${ARG_MATRIX_WMS})
  endif()
  foreach(wm ${wms})
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      TEST_PREFIX "${wm}."
      TEST_FILTER "${filter}"
      PROPERTIES
        ENVIRONMENT "TILVANE_TEST_DESKTOP=${CMAKE_BINARY_DIR}/x11-desktop/one-${wm}"
        FIXTURES_REQUIRED x11_desktop_one-${wm}
        RESOURCE_LOCK x11_desktop_one-${wm}
        TIMEOUT ${ARG_TIMEOUT}
        LABELS x11_matrix)
  endforeach()
endfunction()
