# tunemill_test(NAME SOURCES ... LIBS ... [DISPLAY])
#   One GoogleTest executable. Plain tests are discovered case by case; DISPLAY tests need an X server
#   and run as one CTest entry under a private Xvfb (scripts/with-xvfb), with SDL's dummy audio driver.
function(tunemill_test NAME)
  cmake_parse_arguments(T "DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${NAME} ${T_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${T_LIBS} tunemill_testkit GTest::gtest GTest::gmock GTest::gtest_main)
  if(T_DISPLAY)
    add_test(NAME ${NAME} COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-xvfb $<TARGET_FILE:${NAME}>)
    set_tests_properties(${NAME} PROPERTIES
      ENVIRONMENT "SDL_AUDIODRIVER=dummy;LIBGL_ALWAYS_SOFTWARE=1;TUNEMILL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TUNEMILL_BINARY_DIR=${CMAKE_BINARY_DIR}")
  else()
    gtest_discover_tests(${NAME}
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "SDL_AUDIODRIVER=dummy;TUNEMILL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TUNEMILL_BINARY_DIR=${CMAKE_BINARY_DIR}")
  endif()
endfunction()
