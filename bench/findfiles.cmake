# SPDX-License-Identifier: GPL-3.0-or-later
# build/bench/findfiles: one search of the engine from the command line (see findfiles.cpp and
# README-findfiles.md); bench-findfiles.sh checks and times it against grep and find.
vantory_add_bench(findfiles ${CMAKE_CURRENT_LIST_DIR}/findfiles.cpp)
