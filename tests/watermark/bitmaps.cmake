# The bitmap bytes and the colour text (pure), then the palette and
# "Initialize Watermarking" on real windows.
wm_gtest(bmp_file_test SOURCES bmp_file_test.cpp LIBS wm_bitmap)
wm_qtest(palette_test SOURCES palette_test.cpp ${CMAKE_SOURCE_DIR}/tests/convert/form_test_support.h LIBS wm)
wm_qtest(initialize_test SOURCES initialize_test.cpp ${CMAKE_SOURCE_DIR}/tests/convert/form_test_support.h LIBS wm)
