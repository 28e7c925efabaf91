# The lossless path: the adaptive arithmetic codec and the lossless region coder built on it.
nubo_library(nubo_lossless
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arithmetic_codec.cpp ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder.cpp
  DEPENDS nubo_image nubo_common)
nubo_tests(lossless_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arithmetic_codec_test.cpp ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder_test.cpp
  DEPENDS nubo_lossless)
nubo_benchmark(lossless_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lossless_region_coder_bench.cpp
  DEPENDS nubo_lossless)
