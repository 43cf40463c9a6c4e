# SPDX-License-Identifier: GPL-3.0-or-later
vantory_add_bench(datafile-bench ${CMAKE_CURRENT_LIST_DIR}/datafile-bench.cpp)
