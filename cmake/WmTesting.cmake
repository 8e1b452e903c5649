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
