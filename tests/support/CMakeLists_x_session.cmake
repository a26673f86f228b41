# Xvfb sessions for the tests that need a real display.
add_library(quillpost_x_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/x_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x_session.h
)
target_include_directories(quillpost_x_session PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(quillpost_x_session
    PUBLIC X11::X11 PRIVATE quillpost_platform_qt_x11 quillpost_warnings)
