# The widgets of the pages, the measured-values panel, the value formatter, the lamp and the skins.
# Included from more than one list; the guard keeps it to one definition.
if(TARGET tavro_views)
    return()
endif()

add_library(tavro_views STATIC
    ${CMAKE_SOURCE_DIR}/app/views/status_lamp.cpp
    ${CMAKE_SOURCE_DIR}/app/views/status_lamp.h
    ${CMAKE_SOURCE_DIR}/app/views/skins.cpp
    ${CMAKE_SOURCE_DIR}/app/views/skins.h
    ${CMAKE_SOURCE_DIR}/app/views/connection_strip.cpp
    ${CMAKE_SOURCE_DIR}/app/views/connection_strip.h
    ${CMAKE_SOURCE_DIR}/measure/value_text.cpp
    ${CMAKE_SOURCE_DIR}/measure/value_text.h
    ${CMAKE_SOURCE_DIR}/measure/measured_values_panel.cpp
    ${CMAKE_SOURCE_DIR}/measure/measured_values_panel.h
    ${CMAKE_SOURCE_DIR}/measure/info_channel_page.cpp
    ${CMAKE_SOURCE_DIR}/measure/info_channel_page.h
    ${CMAKE_SOURCE_DIR}/measure/energy_page.cpp
    ${CMAKE_SOURCE_DIR}/measure/energy_page.h
    ${CMAKE_SOURCE_DIR}/config/settings_page.cpp
    ${CMAKE_SOURCE_DIR}/config/settings_page.h
    ${CMAKE_SOURCE_DIR}/display/ext_dev_page.cpp
    ${CMAKE_SOURCE_DIR}/display/ext_dev_page.h
)
target_include_directories(tavro_views PUBLIC
    ${CMAKE_SOURCE_DIR}/app/views
    ${CMAKE_SOURCE_DIR}/measure
    ${CMAKE_SOURCE_DIR}/config
    ${CMAKE_SOURCE_DIR}/display
)
target_link_libraries(tavro_views PUBLIC tavro_link Qt6::Widgets)
