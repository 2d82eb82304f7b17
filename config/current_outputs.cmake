target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/current_outputs_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/current_outputs_sheet.h
)
