target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/metrology_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/metrology_panel.h
    ${CMAKE_CURRENT_LIST_DIR}/metrology_values.cpp
    ${CMAKE_CURRENT_LIST_DIR}/metrology_values.h
)
