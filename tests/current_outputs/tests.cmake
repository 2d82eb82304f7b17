tavro_test(tst_current_outputs
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/current_outputs/tst_current_outputs.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
