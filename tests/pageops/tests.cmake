qm_test(pageops qm_pageops)
if(TARGET test_pageops)
  # The image fixtures of the imaging tests write the TIFFs and the JPEG 2000 files.
  target_sources(test_pageops PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../imaging/fixtures.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/../imaging/fixturesjp2.cpp)
endif()
