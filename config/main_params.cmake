target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/main_params_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_params_sheet.h
)
