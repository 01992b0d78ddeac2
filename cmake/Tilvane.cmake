# Build helpers shared by every folder.
#
# Each folder of src/ that holds code has a CMakeLists.txt with one tilvane_library() call; its sources are the
# .cpp files of that folder (not of sub-folders). Includes are rooted at src/ and src/tilvane/: #include "platform/rx/PublishSubject.h", #include "Models/AppDescriptor.h".

# Adds every direct sub-folder of the current folder that has a CMakeLists.txt.
function(tilvane_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# tilvane_library(NAME [DEPS target...] [SOURCES extra.cpp...])
function(tilvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${name} STATIC ${sources} ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/tilvane)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# tilvane_test(NAME DEPS target... [NO_MAIN] [SOURCES extra.cpp...] [LABELS label])
# Sources are the *_test.cpp files of the current folder. Tests run with the offscreen Qt platform and their own
# temporary XDG folders (see tests/support/TestEnvironment.h), so they never touch the user's files or screen.
# A test without LABELS takes its area's, TILVANE_TEST_LABEL, which an area's folder sets for all below it. One
# label only: gtest_discover_tests would split a list into separate properties.
function(tilvane_test name)
  cmake_parse_arguments(ARG "NO_MAIN" "" "DEPS;SOURCES;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS ${TILVANE_TEST_LABEL})
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_executable(${name} ${sources} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/tilvane ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tilvane_test_support GTest::gmock)
  # g++ 12 misreads the tests' inlined string building as out-of-bounds memcpy (its known false positive).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${name} PRIVATE -Wno-array-bounds)
  endif()
  # Screenshots that tests keep for people to look at (support/Artefacts.h).
  target_compile_definitions(${name} PRIVATE TILVANE_TEST_ARTEFACTS="${CMAKE_BINARY_DIR}/artefacts")
  if(NOT ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE tilvane_test_main)
  endif()
  # One precompiled GoogleTest/GoogleMock header for every test (made by tests/CMakeLists.txt); where a test's
  # flags differ the compiler ignores it and reads the headers as usual.
  if(TARGET tilvane_test_pch)
    target_precompile_headers(${name} REUSE_FROM tilvane_test_pch)
  endif()
  # A ThreadSanitizer tree builds and runs the checked areas' tests alone; the others stay out of its default
  # build and its ctest (the target is still made: the callers set its properties).
  if(TILVANE_SANITIZE_THREAD)
    if(NOT ARG_LABELS IN_LIST TILVANE_THREAD_CHECKED_LABELS)
      return()
    endif()
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL OFF)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}")
endfunction()
