# The virtual front panel: a key press to its lamps on the screen, with the
# real waits, over the virtual USB socket on the program's own link thread.
if(TARGET vantor_shell AND TARGET vantorsim AND TARGET tavlink_testing)
  add_executable(panel_bench ${CMAKE_CURRENT_LIST_DIR}/panel_bench.cpp)
  target_link_libraries(panel_bench PRIVATE vantor_shell vantorsim tavlink_testing benchmark::benchmark)
endif()
