# Application benchmarks on a real X display (they skip without one): exec of
# the program to its first painted window and its resident memory there, and
# the latency of clicks while Auto refreshes.
if(VANTOR_BUILD_APP)
  add_executable(app_bench ${CMAKE_CURRENT_LIST_DIR}/app_startup_bench.cpp)
  target_link_libraries(app_bench PRIVATE benchmark::benchmark)
  target_compile_definitions(app_bench PRIVATE VANTOR_PROGRAM="$<TARGET_FILE:vantor>")
  add_dependencies(app_bench vantor)
  find_package(X11 COMPONENTS Xtst)
  if(X11_Xtst_FOUND)
    add_executable(click_latency_bench ${CMAKE_CURRENT_LIST_DIR}/click_latency_bench.cpp)
    target_link_libraries(click_latency_bench PRIVATE vantor_shell vantorsim benchmark::benchmark X11::X11 X11::Xtst)
  endif()
endif()
