# SPDX-License-Identifier: GPL-3.0-or-later
vantory_add_bench(vault-bench ${CMAKE_CURRENT_LIST_DIR}/vault-bench.cpp)
