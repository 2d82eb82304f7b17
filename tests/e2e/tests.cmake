tavro_test(tst_end_to_end
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/tst_end_to_end.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
tavro_use_sim(tst_end_to_end)
tavro_test(tst_configuration_e2e
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/tst_configuration_e2e.cpp ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_rig.h
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
tavro_use_sim(tst_configuration_e2e)
tavro_test(tst_calibration_e2e
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/e2e/tst_calibration_e2e.cpp ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_rig.h
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_ui)
tavro_use_sim(tst_calibration_e2e)
