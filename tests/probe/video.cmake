wm_qtest(tst_video_selection SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_video_selection.cpp LIBS wm)
add_dependencies(tst_video_selection mxcode)
