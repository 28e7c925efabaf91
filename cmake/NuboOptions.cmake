# Compiler settings shared by every nubo target.
#
# Coded bytes depend on exact 32-bit float rounding, so floating-point contraction (fused multiply-add) is off
# everywhere and no fast-math flag is ever used.
add_compile_options(-ffp-contract=off -fno-fast-math)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)

if(NUBO_WERROR)
  add_compile_options(-Werror)
endif()

if(NUBO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "NUBO_FUZZ needs clang (libFuzzer), for example -DCMAKE_CXX_COMPILER=clang++-16")
  endif()
  # Every library is instrumented for coverage; only the harness programs link libFuzzer's main (fuzz/).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  # The conventional mark of a fuzzing build: code may pick a repeatable path (see roi/task_pool.cpp).
  add_compile_definitions(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
elseif(NUBO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(NUBO_TSAN)
  if(NUBO_SANITIZE OR NUBO_FUZZ)
    message(FATAL_ERROR "NUBO_TSAN cannot be combined with NUBO_SANITIZE or NUBO_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# nubo_library(NAME SOURCES ... [DEPENDS ...]): one core subsystem library.
function(nubo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# nubo_tests(NAME SOURCES ... DEPENDS ... [LABEL label]): a GoogleTest program registered with CTest, linked with the
# shared test support (src/test_support).
function(nubo_tests name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL core)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} nubo_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE NUBO_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 120)
endfunction()

# nubo_benchmark(NAME SOURCES ... DEPENDS ...): a Google Benchmark program (reported, never asserted).
function(nubo_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT NUBO_BUILD_BENCHMARKS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE NUBO_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
endfunction()
