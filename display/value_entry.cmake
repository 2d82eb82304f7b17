target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/value_entry_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_entry_dialog.h
)
