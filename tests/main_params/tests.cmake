tavro_test(tst_main_params
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/main_params/tst_main_params.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
