# Printing: one preview page of 40 wave data rows, and every page of a
# 4000-row wave data printout saved as one PDF. The frame comes from the
# application tests' environment.
if(TARGET vantor_app_testing)
  add_executable(print_bench ${CMAKE_CURRENT_LIST_DIR}/print_bench.cpp)
  target_link_libraries(print_bench PRIVATE vantor_app_testing benchmark::benchmark)
endif()
