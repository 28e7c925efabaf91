# The lossless path: the adaptive arithmetic codec, the lossless region coder built on it, and the text fields
# of the .roi stream that its payload shares with the rest of the stream.
nubo_library(nubo_lossless
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arithmetic_codec.cpp ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream_fields.cpp
  DEPENDS nubo_image nubo_common)
nubo_tests(lossless_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arithmetic_codec_test.cpp ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder_test.cpp
  DEPENDS nubo_lossless)
nubo_benchmark(lossless_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder_bench.cpp
  DEPENDS nubo_lossless)
