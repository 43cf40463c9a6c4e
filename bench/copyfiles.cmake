# SPDX-License-Identifier: GPL-3.0-or-later
# build/bench/copyfiles: the copy of Save Selection from the command line; copy-bench.sh times it
# against cp.
vantory_add_bench(copyfiles ${CMAKE_CURRENT_LIST_DIR}/copyfiles.cpp)
