wm_gtest(shell_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_test.cpp LIBS wm)
wm_qtest(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp LIBS wm)
add_dependencies(tst_startup watermark-image)
