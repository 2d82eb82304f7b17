target_sources(tavro_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/scheme_ratios.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scheme_ratios.h
    ${CMAKE_CURRENT_LIST_DIR}/rated_voltage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rated_voltage.h
)
