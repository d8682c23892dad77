# kelpa_add_deliverable(NAME
#     PARTS <interface libraries of the subsystems it carries>
#     DELETES_TAKE_STORE_LOCK <0|1>
#     [DEFINITIONS <further per-deliverable settings>])
#
# Builds one deliverable from the shared sources. Its exports, with their ordinals, are listed in
# frame/exports/NAME.def: on Windows that file is the module definition given to the linker; on
# Linux it becomes a version script, so the native library exports exactly the same names.
# Subsystem sources come in through INTERFACE libraries, so they are compiled within each
# deliverable, with that deliverable's settings.
set(KELPA_DELIVERABLES "" CACHE INTERNAL "")

function(kelpa_add_deliverable name)
    cmake_parse_arguments(ARG "" "DELETES_TAKE_STORE_LOCK" "PARTS;DEFINITIONS" ${ARGN})
    set(def_file ${PROJECT_SOURCE_DIR}/frame/exports/${name}.def)

    add_library(${name} SHARED)
    target_link_libraries(${name} PRIVATE kelpa_frame ${ARG_PARTS})
    target_compile_definitions(${name} PRIVATE
        KELPA_DELETES_TAKE_STORE_LOCK=${ARG_DELETES_TAKE_STORE_LOCK} ${ARG_DEFINITIONS})
    set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
    kelpa_product_options(${name})

    if(WIN32)
        target_sources(${name} PRIVATE ${def_file})
        # Undecorated stdcall names in the .def resolve to the decorated symbols (name@bytes);
        # the language run-time is linked in, so the DLL imports only Windows system DLLs. The
        # .def is the whole export table: without --exclude-all-symbols the linker would export
        # every global symbol of a deliverable whose .def lists no export yet. Symbols and debug
        # sections are stripped; the unwind tables stay.
        target_link_options(${name} PRIVATE -static -s -Wl,--enable-stdcall-fixup -Wl,--exclude-all-symbols)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELPA_DIST_DIR})
    else()
        set(version_script ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
        add_custom_command(OUTPUT ${version_script}
            COMMAND ${CMAKE_COMMAND} -DDEF=${def_file} -DOUT=${version_script}
                    -P ${PROJECT_SOURCE_DIR}/cmake/def_to_version_script.cmake
            DEPENDS ${def_file} ${PROJECT_SOURCE_DIR}/cmake/def_to_version_script.cmake)
        add_custom_target(${name}_exports DEPENDS ${version_script})
        add_dependencies(${name} ${name}_exports)
        target_link_options(${name} PRIVATE -Wl,--version-script=${version_script} -Wl,--no-undefined)
        set_target_properties(${name} PROPERTIES LINK_DEPENDS ${version_script}
            LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/deliverables)
    endif()
    set(KELPA_DELIVERABLES ${KELPA_DELIVERABLES} ${name} CACHE INTERNAL "")
endfunction()
