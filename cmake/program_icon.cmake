# The program icon is drawn once, as SVG in data/; every size of it, for the Linux program, the
# Windows program and the package, comes from there.
set(QUILLPOST_APP_ID org.hollowmere.Quillpost)
set(QUILLPOST_ICON_SVG ${PROJECT_SOURCE_DIR}/data/${QUILLPOST_APP_ID}.svg)

# The drawing for a SIZE-pixel icon. At 16 pixels the one-unit pens of the 32-unit drawing would
# blur: that size has its own.
function(quillpost_icon_source size out_var)
    if(size EQUAL 16)
        set(${out_var} ${PROJECT_SOURCE_DIR}/data/${QUILLPOST_APP_ID}-16.svg PARENT_SCOPE)
    else()
        set(${out_var} ${QUILLPOST_ICON_SVG} PARENT_SCOPE)
    endif()
endfunction()

# Renders the SIZE-pixel icon into PNG at build time; needs RSVG_CONVERT (librsvg2-bin).
function(quillpost_render_icon size png)
    quillpost_icon_source(${size} source)
    get_filename_component(dir ${png} DIRECTORY)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${source}
        DEPENDS ${source}
        COMMENT "Rendering the ${size}x${size} program icon"
        VERBATIM)
endfunction()
