# The picture's pure parts: header reader, zoom arithmetic and loader.
wm_gtest(picture_test
  image_size_test.cpp scale_test.cpp picture_loader_test.cpp
  picture_fixtures.cpp picture_fixtures.h
  LIBS wm_picture)
