# SPDX-License-Identifier: GPL-3.0-or-later
# build/bench/search-list-bench: filling the search result list with 100,000 found files.
vantory_add_bench(search-list-bench ${CMAKE_CURRENT_LIST_DIR}/search-list-bench.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/SearchListFill.cpp)
target_link_libraries(search-list-bench PRIVATE vantory_gui)
