# The ROI codec above the lossless path: wavelet region coder, kind dispatch, .roi stream encoder and decoder,
# stream inspection, quality measure, stopwatch and the toolkit-free coding commands.
nubo_library(nubo_roi
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/task_pool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet_region_coder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/region_coder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_encoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_decoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quality_measure.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stopwatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coding_commands.cpp
  DEPENDS nubo_lossless nubo_quant nubo_image nubo_regions nubo_document nubo_common)

find_package(Threads REQUIRED)
target_link_libraries(nubo_roi PUBLIC Threads::Threads)

nubo_tests(roi_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/roi_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stream_fields_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/task_pool_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet_region_coder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_encoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_decoder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_hostile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_golden_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/roi_stream_info_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quality_measure_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stopwatch_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coding_commands_test.cpp
  DEPENDS nubo_roi)

nubo_benchmark(roi_stream_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/roi_stream_bench.cpp
  DEPENDS nubo_roi)
