qm_test(imaging qm_imaging)

# Peak memory is measured in a process of its own (getrusage), never in the test's.
add_executable(imaging_memprobe ${CMAKE_CURRENT_SOURCE_DIR}/imaging/memprobe/memprobe.cpp)
target_link_libraries(imaging_memprobe PRIVATE qm_imaging Qt6::Gui)
add_dependencies(test_imaging imaging_memprobe)
target_compile_definitions(test_imaging PRIVATE QM_MEMPROBE="$<TARGET_FILE:imaging_memprobe>")
