target_sources(wm PRIVATE form1_initialize.cpp)
