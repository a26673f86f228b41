# Xvfb sessions for the tests that need a real display.
add_library(quillpost_x_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/x_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x_session.h
)
target_include_directories(quillpost_x_session PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(quillpost_x_session
    PUBLIC X11::X11 PRIVATE quillpost_platform_qt_x11 quillpost_warnings)

# Wayland desktops started for a test: what they share, KWin and GNOME, then sway with a player's
# keyboard on its seat.
add_library(quillpost_wayland_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/wayland_session.cpp ${CMAKE_CURRENT_LIST_DIR}/wayland_session.h
    ${CMAKE_CURRENT_LIST_DIR}/sway_session.cpp
)
target_compile_definitions(quillpost_wayland_session PRIVATE
    QUILLPOST_GNOME_EXTENSION="${PROJECT_SOURCE_DIR}/data/gnome-shell/quillpost@quillpost")
target_link_libraries(quillpost_wayland_session
    PUBLIC quillpost_x_session
    PRIVATE quillpost_platform_wayland PkgConfig::WAYLAND quillpost_warnings)
