# Wavelet filters and the two-dimensional wavelet transform.
nubo_library(nubo_transform
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/filters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet_transform.cpp
    ${CMAKE_CURRENT_LIST_DIR}/float_image.cpp
  DEPENDS nubo_common)

nubo_tests(transform_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/filters_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wavelet_transform_test.cpp
  DEPENDS nubo_transform)

nubo_benchmark(transform_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wavelet_transform_bench.cpp
  DEPENDS nubo_transform)
