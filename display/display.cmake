target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/setpoints.cpp
    ${CMAKE_CURRENT_LIST_DIR}/setpoints.h
    ${CMAKE_CURRENT_LIST_DIR}/display_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/display_sheet.h
)
