# SPDX-License-Identifier: GPL-3.0-or-later
vantory_add_bench(grid-bench ${CMAKE_CURRENT_LIST_DIR}/grid-bench.cpp)
target_link_libraries(grid-bench PRIVATE vantory_gui)
