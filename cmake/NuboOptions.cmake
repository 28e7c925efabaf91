# Compiler settings shared by every nubo target.
#
# Coded bytes depend on exact 32-bit float rounding, so floating-point contraction (fused multiply-add) is off
# everywhere and no fast-math flag is ever used.
add_compile_options(-ffp-contract=off -fno-fast-math)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)

if(NUBO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# nubo_library(NAME SOURCES ... [DEPENDS ...]): one core subsystem library.
function(nubo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# nubo_tests(NAME SOURCES ... DEPENDS ... [LABEL label]): a GoogleTest program registered with CTest.
function(nubo_tests name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL core)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock GTest::gtest_main)
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
