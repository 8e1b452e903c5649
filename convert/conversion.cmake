target_sources(wm PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/conversion_line.cpp ${CMAKE_CURRENT_LIST_DIR}/conversion_line.h)
