# The folder search benchmarks, over a tree made by make_search_tree.py.

# search_bench: the walk, filter, criteria and row building alone, the rows kept in memory
# instead of a grid; against the subcommand below it shows what the window adds. No
# window and no widgets: the search library and the page counters alone.
add_executable(search_bench ${CMAKE_CURRENT_LIST_DIR}/search_bench.cpp)
target_link_libraries(search_bench PRIVATE qm_search qm_imaging)

# quillmere-bench search (cmd_search.cpp): the same search run by an offscreen main window.
if(TARGET quillmere-bench AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/cmd_search.cpp)
  target_link_libraries(quillmere-bench PRIVATE qm_startup qm_mainwindow)
endif()
