# Tavro.ini, the port numbers' devices and the serial port over QSerialPort. Qt Core and
# SerialPort only, no widgets. Included from app/ and from the tests, whichever comes first.
if(TARGET tavro_settings)
    return()
endif()

add_library(tavro_settings STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cp1251.cpp ${CMAKE_CURRENT_LIST_DIR}/cp1251.h
    ${CMAKE_CURRENT_LIST_DIR}/ini_file.cpp ${CMAKE_CURRENT_LIST_DIR}/ini_file.h
    ${CMAKE_CURRENT_LIST_DIR}/app_settings.cpp ${CMAKE_CURRENT_LIST_DIR}/app_settings.h
    ${CMAKE_CURRENT_LIST_DIR}/port_resolver.cpp ${CMAKE_CURRENT_LIST_DIR}/port_resolver.h
    ${CMAKE_CURRENT_LIST_DIR}/qt_serial_port.cpp ${CMAKE_CURRENT_LIST_DIR}/qt_serial_port.h
)
target_include_directories(tavro_settings PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tavro_settings PUBLIC tavro_link Qt6::Core Qt6::SerialPort)
