# The main window: frame, layout, look, accessibility and its small commands.
wm_qtest(tst_form1_window
  tst_form1_window.cpp modal_answerer.h
  ${CMAKE_SOURCE_DIR}/tests/watermark/picture_fixtures.cpp
  LIBS wm)
# The user guide must be in the program folder before the test looks there.
add_dependencies(tst_form1_window user-guide)
