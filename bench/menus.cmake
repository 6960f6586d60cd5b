# quillmere-bench export and preferences (cmd_export.cpp, cmd_preferences.cpp): the main
# window's export and preferences dialog, on the window scaffolding the search shares.
if(TARGET quillmere-bench)
  target_sources(quillmere-bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/benchwindow.cpp ${CMAKE_CURRENT_LIST_DIR}/benchwindow.h)
  target_link_libraries(quillmere-bench PRIVATE qm_startup qm_mainwindow)
endif()
