wm_gtest(probe_parse_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_parse_test.cpp LIBS wm_parse)
