# The bitmap bytes and the colour text (pure), then the palette and
# "Initialize Watermarking" on real windows.
wm_gtest(bmp_file_test SOURCES bmp_file_test.cpp LIBS wm_bitmap)
