# The positioning window on real widgets (offscreen).
wm_qtest(form3_test SOURCES form3_test.cpp form_test_support.h LIBS wm)
