# SPDX-License-Identifier: GPL-3.0-or-later
# build/bench/search-window-bench TREE: the search window against the bare engine on a tree of save folders.
vantory_add_bench(search-window-bench ${CMAKE_CURRENT_LIST_DIR}/search-window-bench.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/SearchListFill.cpp)
target_link_libraries(search-window-bench PRIVATE vantory_gui)
