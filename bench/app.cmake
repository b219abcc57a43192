# Application benchmarks: start-up to the first painted main window, and the
# resident memory once it is up.
if(VANTOR_BUILD_APP)
  add_executable(app_bench ${CMAKE_CURRENT_LIST_DIR}/app_startup_bench.cpp)
  target_link_libraries(app_bench PRIVATE vantor_shell benchmark::benchmark)
endif()
