tavro_test(tst_crc_frames SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link/tst_crc_frames.cpp LIBS tavro_link)
