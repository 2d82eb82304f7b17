tavro_test(tst_scheme_ratios
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scheme_ratios/tst_scheme_ratios.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
