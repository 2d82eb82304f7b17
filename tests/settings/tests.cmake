if(NOT TARGET tavro_settings)
    include(${CMAKE_SOURCE_DIR}/app/settings/settings.cmake)
endif()

tavro_test(tst_settings_files
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings/tst_settings_files.cpp
    LIBS tavro_settings)
tavro_test(tst_port_resolver
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings/tst_port_resolver.cpp
    LIBS tavro_settings)
tavro_test(tst_qt_serial_port
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/settings/tst_qt_serial_port.cpp
    LIBS tavro_settings)
