# Measurement benchmarks: every export and a whole measurement block on a full record.
add_executable(measure_bench ${CMAKE_CURRENT_LIST_DIR}/measure_bench.cpp)
target_link_libraries(measure_bench PRIVATE tavlink benchmark::benchmark)
