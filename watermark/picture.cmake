# The picture: header reader, zoom arithmetic and loader (no widgets, in
# wm_picture so that their tests need nothing else), and the main window's
# picture handlers.
add_library(wm_picture STATIC)
target_sources(wm_picture PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/image_size.cpp ${CMAKE_CURRENT_LIST_DIR}/image_size.h
  ${CMAKE_CURRENT_LIST_DIR}/scale.cpp ${CMAKE_CURRENT_LIST_DIR}/scale.h
  ${CMAKE_CURRENT_LIST_DIR}/picture_loader.cpp ${CMAKE_CURRENT_LIST_DIR}/picture_loader.h)
target_include_directories(wm_picture PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(wm_picture PUBLIC Qt6::Gui Qt6::Core)

target_link_libraries(wm PUBLIC wm_picture)
target_sources(wm PRIVATE ${CMAKE_CURRENT_LIST_DIR}/form1_picture.cpp)
