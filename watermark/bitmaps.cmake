# The bitmap files and the colour text: pure code in a library of its own, so
# that its tests need no windows.
add_library(wm_bitmap STATIC bmp_file.cpp bmp_file.h color_text.cpp color_text.h)
target_include_directories(wm_bitmap PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(wm_bitmap PUBLIC Qt6::Gui Qt6::Core)
target_link_libraries(wm PUBLIC wm_bitmap)

# The palette and "Initialize Watermarking".
target_sources(wm PRIVATE form4.cpp form4.h form1_initialize.cpp)
