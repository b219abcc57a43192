# Link benchmarks: Tavlink against the in-process virtual instrument and an instant peer.
add_executable(link_bench ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
target_link_libraries(link_bench PRIVATE tavlink_testing vantorsim ferrule benchmark::benchmark
                                         Threads::Threads)
