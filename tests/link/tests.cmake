tavro_test(tst_crc_frames SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link/tst_crc_frames.cpp LIBS tavro_link)
tavro_test(tst_link_engine
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link/tst_link_engine.cpp ${CMAKE_CURRENT_SOURCE_DIR}/link/link_rig.h
            ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_link)
tavro_test(tst_robust
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link/tst_robust.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/fakes.h
    LIBS tavro_link)
