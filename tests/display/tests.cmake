tavro_test(tst_display_sheet
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/display/tst_display_sheet.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
