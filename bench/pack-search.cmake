# SPDX-License-Identifier: GPL-3.0-or-later
# build/bench/pack-search-bench TREE: the search inside packs and documents, checked against the
# expected answers of a tree made by make-archive-tree.sh and timed against ugrep and pdfgrep.
vantory_add_bench(pack-search-bench ${CMAKE_CURRENT_LIST_DIR}/pack-search-bench.cpp)
