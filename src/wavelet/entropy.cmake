# The entropy coding back end: bit streams, raw integer codes, the arithmetic coder, frequency models and the
# layered symbol coder.
nubo_library(nubo_entropy
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/bit_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/integer_codes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frequency_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exact_division.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arith_coder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_cost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layered_symbol_coder.cpp
  DEPENDS nubo_common)

nubo_tests(entropy_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/bit_stream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/integer_codes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frequency_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exact_division_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arith_coder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_cost_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/layered_symbol_coder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entropy_robustness_test.cpp
  DEPENDS nubo_entropy)

nubo_benchmark(entropy_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/layered_symbol_coder_bench.cpp
  DEPENDS nubo_entropy)
