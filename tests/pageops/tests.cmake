qm_test(pageops qm_pageops)
if(TARGET test_pageops)
  # The image fixtures of the imaging tests write the TIFFs and the JPEG 2000 files.
  target_sources(test_pageops PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../imaging/fixtures.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/../imaging/fixturesjp2.cpp)
  # The peak memory of a render is measured in a process of its own.
  add_executable(pageops_renderprobe ${CMAKE_CURRENT_LIST_DIR}/renderprobe/renderprobe.cpp)
  target_link_libraries(pageops_renderprobe PRIVATE qm_pdfrender)
  add_dependencies(test_pageops pageops_renderprobe)
  target_compile_definitions(test_pageops PRIVATE QM_RENDERPROBE="$<TARGET_FILE:pageops_renderprobe>")
endif()
