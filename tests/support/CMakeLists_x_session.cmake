# Xvfb sessions for the tests that need a real display.
add_library(quillpost_x_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/x_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/x_session.h
)
target_include_directories(quillpost_x_session PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(quillpost_x_session
    PUBLIC X11::X11 PRIVATE quillpost_platform_qt_x11 quillpost_warnings)

# Wayland desktops started for a test: what they share, then each one.
add_library(quillpost_wayland_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/wayland_session.cpp ${CMAKE_CURRENT_LIST_DIR}/wayland_session.h
)
target_link_libraries(quillpost_wayland_session
    PUBLIC quillpost_x_session PRIVATE quillpost_warnings)

# Headless sway sessions and a player's keyboard on their seat, for the wlroots tests.
add_library(quillpost_sway_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/seat_keyboard.cpp ${CMAKE_CURRENT_LIST_DIR}/seat_keyboard.h
    ${CMAKE_CURRENT_LIST_DIR}/sway_session.cpp ${CMAKE_CURRENT_LIST_DIR}/sway_session.h
)
target_link_libraries(quillpost_sway_session
    PUBLIC quillpost_wayland_session
    PRIVATE quillpost_platform_wayland PkgConfig::WAYLAND quillpost_warnings)

# KWin on a virtual output, for the KDE Plasma tests.
add_library(quillpost_kwin_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/kwin_session.cpp ${CMAKE_CURRENT_LIST_DIR}/kwin_session.h
)
target_link_libraries(quillpost_kwin_session
    PUBLIC quillpost_wayland_session PRIVATE quillpost_warnings)

# Headless gnome-shell sessions with Quillpost's extension from the source tree.
add_library(quillpost_gnome_session STATIC
    ${CMAKE_CURRENT_LIST_DIR}/gnome_session.cpp ${CMAKE_CURRENT_LIST_DIR}/gnome_session.h
)
target_compile_definitions(quillpost_gnome_session PRIVATE
    QUILLPOST_GNOME_EXTENSION="${PROJECT_SOURCE_DIR}/data/gnome-shell/quillpost@quillpost")
target_link_libraries(quillpost_gnome_session
    PUBLIC quillpost_wayland_session PRIVATE quillpost_warnings)
