tavro_test(tst_metrology
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/metrology/tst_metrology.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
