# The picture's pure parts: header reader, zoom arithmetic and loader.
wm_gtest(picture_test
  image_size_test.cpp scale_test.cpp picture_loader_test.cpp
  picture_fixtures.cpp picture_fixtures.h
  LIBS wm_picture)

# The picture in the main window: choice, zoom and preview.
wm_qtest(tst_form1_picture
  tst_form1_picture.cpp picture_fixtures.cpp picture_fixtures.h
  ${CMAKE_SOURCE_DIR}/tests/app/modal_answerer.h
  LIBS wm)
