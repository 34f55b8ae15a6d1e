# tunemill_test(NAME SOURCES ... LIBS ... [DISPLAY])
#   One GoogleTest executable. Plain tests are discovered case by case; DISPLAY tests need an X server
#   and run as one CTest entry under a private Xvfb (scripts/with-xvfb). Every test runs with SDL's dummy
#   audio driver and finds the tree through the compile definitions TUNEMILL_SOURCE_DIR and
#   TUNEMILL_BINARY_DIR (DISPLAY tests also have both in their environment).
#   A fatal error ends the process with exit code 0, so one raised in a test's own process (not in a child
#   that the test runs on purpose, whose output goes to files) would otherwise pass: its log line fails it.
set(TUNEMILL_FATAL_LINE " PROGRAM: -- ERROR: at ")
function(tunemill_test NAME)
  cmake_parse_arguments(T "DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} tunemill_testkit GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${NAME} PRIVATE
    TUNEMILL_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TUNEMILL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(T_DISPLAY)
    add_test(NAME ${NAME} COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-xvfb $<TARGET_FILE:${NAME}>)
    set_tests_properties(${NAME} PROPERTIES ENVIRONMENT
      "SDL_AUDIODRIVER=dummy;LIBGL_ALWAYS_SOFTWARE=1;TUNEMILL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TUNEMILL_BINARY_DIR=${CMAKE_BINARY_DIR}"
      FAIL_REGULAR_EXPRESSION "${TUNEMILL_FATAL_LINE}")
  else()
    # Discovery writes each list element of a property as a value of its own, so only one variable can
    # be given here; the folders come through the compile definitions.
    gtest_discover_tests(${NAME} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT SDL_AUDIODRIVER=dummy FAIL_REGULAR_EXPRESSION "${TUNEMILL_FATAL_LINE}")
  endif()
endfunction()
