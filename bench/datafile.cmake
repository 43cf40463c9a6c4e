vantory_add_bench(datafile-bench ${CMAKE_CURRENT_LIST_DIR}/datafile-bench.cpp)
