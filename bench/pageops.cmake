# quillmere-bench pageops (cmd_pageops.cpp): the page operations library.
if(TARGET quillmere-bench AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/cmd_pageops.cpp)
  target_link_libraries(quillmere-bench PRIVATE qm_pageops)
endif()
