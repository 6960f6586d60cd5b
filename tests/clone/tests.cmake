# The clone job. The crash tests run clone_child, which runs a job and kills itself at a
# chosen save point.
add_executable(clone_child clone/child/clonechild.cpp)
target_include_directories(clone_child PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(clone_child PRIVATE qm_tools Qt6::Widgets)
qm_test(clone qm_tools qm_mainwindow)
target_compile_definitions(test_clone PRIVATE QM_CLONE_CHILD="$<TARGET_FILE:clone_child>")
add_dependencies(test_clone clone_child)
