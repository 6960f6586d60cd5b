# The file grid benchmark: builds and sorts 100,000 rows (argument: another row count).
add_executable(grid_bench ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp)
target_link_libraries(grid_bench PRIVATE qm_widgets)
