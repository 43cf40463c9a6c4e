# SPDX-License-Identifier: GPL-3.0-or-later
# Copies every file of SRC into DST unless a file of that name is already there.
file(MAKE_DIRECTORY "${DST}")
file(GLOB files RELATIVE "${SRC}" "${SRC}/*")
foreach(f ${files})
    if(NOT EXISTS "${DST}/${f}")
        file(COPY "${SRC}/${f}" DESTINATION "${DST}")
    endif()
endforeach()
