# The bitmap page: what a refresh of the instrument's 320 x 240 screen costs
# the application beyond the transfer itself, and loading a 320 x 240 file.
if(TARGET vantor_shell AND TARGET vantorsim AND TARGET tavlink_testing)
  add_executable(bitmap_bench ${CMAKE_CURRENT_LIST_DIR}/bitmap_bench.cpp)
  target_link_libraries(bitmap_bench PRIVATE vantor_shell vantorsim tavlink_testing benchmark::benchmark)
endif()
