include(GoogleTest)

# The parts every test program shares: the folders it may look in, and its
# executable beside its own build folder.
function(_wm_test_program name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    WM_PROGRAM_DIR="${WM_PROGRAM_DIR}" WM_TEST_BIN_DIR="${CMAKE_CURRENT_BINARY_DIR}"
    WM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# wm_gtest(NAME src... [LIBS lib...]): a GoogleTest program whose cases CTest lists one by one.
function(wm_gtest name)
  _wm_test_program(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# wm_qtest(NAME src... [LIBS lib...]): a Qt Test program, run on the offscreen platform.
function(wm_qtest name)
  _wm_test_program(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()

# wm_valgrind_test(NAME PROGRAM [ARG...]): the GoogleTest program PROGRAM run with ARGs under
# valgrind's memcheck, a memory error failing it. Skipped where valgrind is missing or cannot run
# the program's libraries on this processor (cmake/valgrind_run.sh says why). A sanitized tree
# leaves these to the main one by their name, so every name ends in UnderValgrind.
set(WM_VALGRIND_RUN ${CMAKE_CURRENT_LIST_DIR}/valgrind_run.sh)
function(wm_valgrind_test name program)
  if(NOT name MATCHES "UnderValgrind$")
    message(FATAL_ERROR "wm_valgrind_test(${name}): the name must end in UnderValgrind")
  endif()
  add_test(NAME ${name} COMMAND bash ${WM_VALGRIND_RUN} $<TARGET_FILE:${program}> ${ARGN})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endfunction()

# The wrapper itself, against stand-ins for valgrind and for a test program.
add_test(NAME ValgrindRunScript COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/valgrind_run_test.sh ${WM_VALGRIND_RUN})
