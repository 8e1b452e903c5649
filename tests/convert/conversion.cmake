wm_gtest(progress_parse_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_parse_test.cpp LIBS wm_parse)
wm_gtest(conversion_line_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/conversion_line_test.cpp LIBS wm)
wm_qtest(tst_conversion SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_conversion.cpp LIBS wm)
add_dependencies(tst_conversion mxcode watermark)
