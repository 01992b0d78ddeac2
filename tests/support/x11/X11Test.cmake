# tilvane_x11_test(NAME DEPS target... [DESKTOP one|two])
# Like tilvane_test(), for tests that need the X test desktop: every test of the binary requires the desktop's
# ctest fixture, holds its resource lock (tests share one desktop, one at a time), and finds the desktop through
# TILVANE_TEST_DESKTOP (the one environment variable: gtest_discover_tests splits a list of them into
# separate properties). Include this file from the tests' CMakeLists.txt.
function(tilvane_x11_test name)
  cmake_parse_arguments(ARG "" "DESKTOP" "DEPS;SOURCES" ${ARGN})
  if(NOT ARG_DESKTOP)
    set(ARG_DESKTOP one)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_executable(${name} ${sources} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/tilvane
                                              ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tilvane_x11_test_support tilvane_test_main GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES
      ENVIRONMENT "TILVANE_TEST_DESKTOP=${CMAKE_BINARY_DIR}/x11-desktop/${ARG_DESKTOP}"
      FIXTURES_REQUIRED x11_desktop_${ARG_DESKTOP}
      RESOURCE_LOCK x11_desktop_${ARG_DESKTOP}
      TIMEOUT 60
      LABELS x11)
endfunction()
