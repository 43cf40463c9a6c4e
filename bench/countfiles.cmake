# SPDX-License-Identifier: GPL-3.0-or-later
vantory_add_bench(countfiles ${CMAKE_CURRENT_LIST_DIR}/countfiles.cpp)
if(NOT WIN32)
    # The yardstick: the plainest readdir walk, for how close the counter comes to the floor.
    vantory_add_bench(readdirwalk ${CMAKE_CURRENT_LIST_DIR}/readdirwalk.cpp)
endif()
