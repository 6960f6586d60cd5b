# The fuzz build's compiler set-up, included by the top level before any folder when QM_FUZZ
# is on: every library is instrumented for coverage; only the fuzz programs link libFuzzer.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QM_FUZZ needs clang; scripts/fuzz.sh sets it up")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

# QPDF 11's JSON.hh defaults the destructor of a nested class holding std::vector<JSON> while
# JSON is still incomplete: g++ accepts it, clang in C++20 mode does not. This build reads a
# copy in which that destructor has an empty body, which means the same.
find_file(QM_QPDF_JSON_HH qpdf/JSON.hh REQUIRED)
file(READ ${QM_QPDF_JSON_HH} _json)
string(REPLACE "virtual ~JSON_array() = default;" "virtual ~JSON_array() {}" _json "${_json}")
file(WRITE ${CMAKE_BINARY_DIR}/qpdf-for-clang/qpdf/JSON.hh "${_json}")
include_directories(BEFORE SYSTEM ${CMAKE_BINARY_DIR}/qpdf-for-clang)
