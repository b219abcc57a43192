# The wave pages: the application's own work in one refresh of four full
# channels, a replot of seven curves, the copy of the whole table, the
# table's memory, the measurement page's fill of four channels and one
# append to its trend log, and one refresh over the virtual USB with its real waits.
if(VANTOR_BUILD_APP)
  add_executable(views_bench ${CMAKE_CURRENT_LIST_DIR}/views_bench.cpp)
  target_link_libraries(views_bench PRIVATE vantor_shell vantorsim tavlink_testing benchmark::benchmark)
endif()
