tavro_test(tst_main_window
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/window/tst_main_window.cpp ${CMAKE_CURRENT_SOURCE_DIR}/window/window_rig.h
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
tavro_test(tst_robust_window
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/window/tst_robust_window.cpp ${CMAKE_CURRENT_SOURCE_DIR}/window/window_rig.h
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
