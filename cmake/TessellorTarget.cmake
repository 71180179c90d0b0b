# Warning and sanitizer flags, applied per target.
function(tessellor_target_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  # No fused multiply-add: results stay the same bits whatever -march a build uses and however
  # far the inline algebra is inlined.
  target_compile_options(${target} PRIVATE -ffp-contract=off)
  if(TESSELLOR_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(TESSELLOR_FUZZ)
    # Coverage for libFuzzer in every library; the fuzz targets add the libFuzzer main.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# The core libraries, one per layer; collected for the exported package.
set_property(GLOBAL PROPERTY TESSELLOR_LIBRARIES "")

# tessellor_library(name SOURCES ... DEPENDS ...)
function(tessellor_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  # In the build tree the headers are found from src/core; installed, from include/tessellor
  # (layers) and include (the public header as <tessellor/Tessellor.h>).
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src/core>
    $<INSTALL_INTERFACE:include>
    $<INSTALL_INTERFACE:include/tessellor>)
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  if(ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  endif()
  tessellor_target_flags(${name})
  if(TESSELLOR_SANITIZE)
    target_link_options(${name} INTERFACE -fsanitize=address,undefined)
  endif()
  set_property(GLOBAL APPEND PROPERTY TESSELLOR_LIBRARIES ${name})
endfunction()

# tessellor_test(name SOURCES ... DEPENDS ...): one GoogleTest executable registered with ctest.
function(tessellor_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} tessellor_test_support GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    TESSELLOR_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    TESSELLOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  tessellor_target_flags(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
