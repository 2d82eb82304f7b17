if(NOT TARGET tavro_views)
    include(${CMAKE_SOURCE_DIR}/app/views.cmake)
endif()

tavro_test(tst_views
    SOURCES
        ${CMAKE_CURRENT_SOURCE_DIR}/views/tst_views_main.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/views/tst_value_text.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/views/tst_measured_values_panel.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/views/tst_pages.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/views/tst_skins_lamp.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/views/view_tests.h
    LIBS tavro_views)
