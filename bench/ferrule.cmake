# Ferrule: what one announced transfer costs over the virtual-USB socket,
# against the same messages sent on a bare socket.
add_executable(ferrule_bench ${CMAKE_CURRENT_LIST_DIR}/ferrule_bench.cpp)
target_include_directories(ferrule_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../usb/src)
target_link_libraries(ferrule_bench PRIVATE ferrule ferrule_simdevice benchmark::benchmark Threads::Threads)
