target_sources(wm PRIVATE form1_picture.cpp)
