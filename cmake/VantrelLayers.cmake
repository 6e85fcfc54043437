# Each library of the program sees its own headers and those of the
# libraries it is built on, and nothing else. A folder such as src/pjlink
# holds files of several layers, so the headers are not offered by their
# source folders: each library gets a folder of its own in the build tree
# with links to its headers, and a check at build time refuses a quoted
# include of one of our headers that the file's layer does not reach (the
# compiler would find a header in the including file's own folder anyway).

set(VANTREL_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake)

function(vantrel_layer target)
    get_target_property(sourceDir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(includeDir ${CMAKE_BINARY_DIR}/include/${target})
    file(REMOVE_RECURSE ${includeDir})
    file(MAKE_DIRECTORY ${includeDir})

    set(ownHeaders)
    set(ownForms)
    set(checked)
    foreach(source IN LISTS sources)
        if(source MATCHES "^\\$<")
            continue()
        endif()
        if(NOT IS_ABSOLUTE "${source}")
            set(source "${sourceDir}/${source}")
        endif()
        get_filename_component(name ${source} NAME)
        if(name MATCHES "\\.h$")
            list(APPEND ownHeaders ${name})
            file(CREATE_LINK ${source} ${includeDir}/${name} SYMBOLIC)
        elseif(name MATCHES "\\.ui$")
            get_filename_component(form ${source} NAME_WE)
            list(APPEND ownForms ui_${form}.h)
        endif()
        if(name MATCHES "\\.(h|cpp)$")
            list(APPEND checked ${source})
        endif()
    endforeach()
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PUBLIC ${includeDir})
        set_target_properties(${target} PROPERTIES VANTREL_HEADERS "${ownHeaders}")
    endif()

    # What the layers below offer: the libraries linked, and theirs.
    set(reached)
    get_target_property(pending ${target} LINK_LIBRARIES)
    set(seen)
    while(pending)
        list(POP_FRONT pending library)
        if(NOT TARGET ${library} OR library IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${library})
        get_target_property(headers ${library} VANTREL_HEADERS)
        if(headers)
            list(APPEND reached ${headers})
            get_target_property(below ${library} LINK_LIBRARIES)
            if(below)
                list(APPEND pending ${below})
            endif()
        endif()
    endwhile()

    set(listFile ${CMAKE_BINARY_DIR}/layers/${target}.cmake)
    file(WRITE ${listFile}
        "set(LAYER_NAME ${target})\n"
        "set(LAYER_SOURCES \"${checked}\")\n"
        "set(LAYER_ALLOWED \"${ownHeaders};${ownForms};${reached}\")\n"
        "set(PROJECT_SOURCE \"${CMAKE_SOURCE_DIR}/src\")\n")
    set(stamp ${CMAKE_BINARY_DIR}/layers/${target}.checked)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DLAYER_LIST=${listFile} -P ${VANTREL_LAYER_CHECK}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${checked} ${listFile} ${VANTREL_LAYER_CHECK}
        COMMENT "Checking the includes of ${target} against its layer"
        VERBATIM)
    add_custom_target(${target}_layer DEPENDS ${stamp})
    add_dependencies(${target} ${target}_layer)
endfunction()
