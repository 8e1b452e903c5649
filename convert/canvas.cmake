# The positioning window, its canvas and animation, and where the program's
# other windows are found (app/forms.*).
target_sources(wm PRIVATE
  activity_frames.cpp activity_frames.h
  form3.cpp form3.h
  form3_convert.cpp
  pressable_box.cpp pressable_box.h
  ${CMAKE_SOURCE_DIR}/app/forms.cpp ${CMAKE_SOURCE_DIR}/app/forms.h)
