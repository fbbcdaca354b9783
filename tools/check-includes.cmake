# The include rule of the source tree, run by CTest (include_rule):
#   app/ may include anything of the project;
#   the feature folders (plot/, script/, search/, geeklist/, lists/) include only
#   service/, ui/ and their own files; a program folder without windows
#   (archive/) only service/ and its own files;
#   ui/ includes only service/ and itself; service/ only itself;
#   a file compiled into plotwise_core includes no widget, chart or network header.
# Every include that breaks it is named with its file and line.
#   cmake -DSOURCE_DIR=<project folder> -P tools/check-includes.cmake

cmake_minimum_required(VERSION 3.21)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

# Folders whose includes the rule leaves free: the program on top, and what
# is built beside it (tests, fuzz targets, benchmarks, sample tools).
set(free_folders "app;tests;fuzz;bench;tools")
# Programs of their own that have no window.
set(windowless_programs "archive")

# Files of plotwise_core, from the target_sources(plotwise_core ...) lists.
set(core_files "")
file(GLOB folder_lists RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*/CMakeLists.txt")
foreach(list_file IN LISTS folder_lists)
    get_filename_component(folder "${list_file}" DIRECTORY)
    file(READ "${SOURCE_DIR}/${list_file}" text)
    string(REGEX MATCHALL "target_sources\\(plotwise_core[^)]*\\)" blocks "${text}")
    foreach(block IN LISTS blocks)
        string(REGEX MATCHALL "[A-Za-z0-9_]+\\.(cpp|h)" names "${block}")
        foreach(name IN LISTS names)
            list(APPEND core_files "${folder}/${name}")
        endforeach()
    endforeach()
endforeach()

set(faults "")
set(sources "")
file(GLOB folders RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(folder IN LISTS folders)
    if(IS_DIRECTORY "${SOURCE_DIR}/${folder}" AND NOT folder MATCHES "^(\\.|build|_build)")
        file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}"
            "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
        list(APPEND sources ${found})
    endif()
endforeach()

foreach(source IN LISTS sources)
    string(REGEX MATCH "^[^/]+" top "${source}")
    if(top IN_LIST free_folders)
        set(allowed "*")
    elseif(top STREQUAL "service")
        set(allowed service)
    elseif(top STREQUAL "ui")
        set(allowed service ui)
    elseif(top IN_LIST windowless_programs)
        set(allowed service ${top})
    else()
        set(allowed service ui ${top})
    endif()
    set(core FALSE)
    if(source IN_LIST core_files)
        set(core TRUE)
    endif()
    if(allowed STREQUAL "*" AND NOT core)
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" lines)
    set(line_number 0)
    foreach(line IN LISTS lines)
        math(EXPR line_number "${line_number} + 1")
        if(NOT line MATCHES "^[ \t]*#[ \t]*include")
            continue()
        endif()
        if(NOT allowed STREQUAL "*" AND line MATCHES "include[ \t]*\"([^/\"]+)/")
            set(folder "${CMAKE_MATCH_1}")
            if(NOT folder IN_LIST allowed)
                list(APPEND faults "${source}:${line_number}: ${top}/ may not include ${folder}/: ${line}")
            endif()
        endif()
        if(core AND line MATCHES
                "include[ \t]*<(Qt(Widgets|Charts|Network|Gui|PrintSupport|Svg)/|Q(Widget|Application|Chart|Network|AbstractButton|Dialog|Painter|Pixmap|Image)[A-Za-z]*>)")
            list(APPEND faults "${source}:${line_number}: a core file includes a widget, chart or network header: ${line}")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "Includes that run back up:\n${text}")
endif()
list(LENGTH sources count)
message(STATUS "Include rule kept in ${count} files")
