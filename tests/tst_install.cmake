# Installs the build into a scratch prefix and checks the desktop integration that packaging and
# file managers rely on. Run by CTest with BUILD_DIR, CONFIG, PREFIX and the configured BINDIR and
# DATADIR defined.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --config "${CONFIG}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result})")
endif()

set(share "${PREFIX}/${DATADIR}")
set(entry "${share}/applications/zentaro.desktop")
set(mime "${share}/mime/packages/zentaro.xml")
foreach(path "${BINDIR}/zentaro" "${BINDIR}/ztrtool" "${entry}" "${mime}"
        "${share}/icons/hicolor/scalable/apps/zentaro.svg" "${share}/icons/hicolor/48x48/apps/zentaro.png"
        "${share}/icons/hicolor/128x128/apps/zentaro.png" "${share}/zentaro/examples/half_adder.ZTR"
        "${share}/zentaro/examples/half_adder.table")
    get_filename_component(path "${path}" ABSOLUTE BASE_DIR "${PREFIX}")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

# The entry must name the type the MIME package declares, and the icon installed above; both
# globs because the type's globs are case-sensitive.
file(READ "${entry}" entryText)
file(READ "${mime}" mimeText)
foreach(pair "entry;\nExec=zentaro %F\n" "entry;\nIcon=zentaro\n" "entry;\nMimeType=application/x-zentaro-network;\n"
        "mime;type=\"application/x-zentaro-network\"" "mime;pattern=\"\\*\\.ZTR\" case-sensitive=\"true\""
        "mime;pattern=\"\\*\\.ztr\" case-sensitive=\"true\"")
    list(GET pair 0 which)
    list(GET pair 1 pattern)
    if(NOT "${${which}Text}" MATCHES "${pattern}")
        message(FATAL_ERROR "${which} lacks ${pattern}")
    endif()
endforeach()

# Compiling the package proves the XML parses and that the magic escapes come out as the
# 10 bytes every network file starts with (src/Util.cpp).
find_program(UPDATE_MIME update-mime-database)
if(UPDATE_MIME)
    # With the prefix on the search path, so that any output at all is a complaint about the XML.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "XDG_DATA_DIRS=${share}" "XDG_DATA_HOME=${share}"
                            "${UPDATE_MIME}" "${share}/mime" RESULT_VARIABLE result OUTPUT_VARIABLE errors ERROR_VARIABLE errors)
    if(NOT result EQUAL 0 OR errors)
        message(FATAL_ERROR "update-mime-database: ${errors}")
    endif()
    file(READ "${share}/mime/magic" magic HEX)
    if(NOT magic MATCHES "3e303d000a115157434f4d505601000a")
        message(FATAL_ERROR "compiled magic lacks the network file magic")
    endif()
else()
    message(STATUS "update-mime-database not found: the MIME package was not compiled")
endif()

find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message(STATUS "SKIPPED: desktop-file-validate not found (package desktop-file-utils)")
    return()
endif()
execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR out)
    message(FATAL_ERROR "desktop-file-validate:\n${out}")
endif()
