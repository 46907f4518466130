# Helpers shared by every folder's CMakeLists.txt.
#
#   tavrelix_add_library(<name> [SHARED] [SOURCES ...] [DEPS ...] [PRIVATE_DEPS ...])
#     One library target per folder. Without SOURCES, every *.cpp of the folder
#     (not of its subfolders) is compiled. The repository root is on the include
#     path, so system code includes "base/utf16.h", "regex/regex.h" and so on.
#
#   tavrelix_add_test(<name> [SOURCES ...] [DEPS ...])
#     One GoogleTest executable per tests/<folder>; its cases are registered
#     with CTest. Without SOURCES, every *.cpp of the folder.
#
#   tavrelix_add_bench(<name> [SOURCES ...] [DEPS ...])
#     A benchmark executable: built, never registered as a test.

# ThreadSanitizer, for the tests of code shared between threads. It cannot be
# combined with AddressSanitizer: the test command builds the few targets
# those tests need in a tree of their own.
option(TAVRELIX_TSAN "Build with ThreadSanitizer" OFF)
if(TAVRELIX_TSAN)
  if(TAVRELIX_SANITIZE)
    message(FATAL_ERROR "TAVRELIX_TSAN and TAVRELIX_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
endif()

# libFuzzer, for the fuzz entry points (scripts/fuzz.sh, clang only): the
# libraries are instrumented for coverage; the fuzz executables link the
# fuzzer's own main.
option(TAVRELIX_LIBFUZZER "Build the libFuzzer targets (clang)" OFF)
if(TAVRELIX_LIBFUZZER)
  if(TAVRELIX_SANITIZE OR TAVRELIX_TSAN)
    message(FATAL_ERROR "TAVRELIX_LIBFUZZER brings its own sanitizers")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings stop the build only where asked (scripts/test.sh and CI): a
# user's or a packager's compiler may know warnings ours does not.
option(TAVRELIX_WERROR "Treat compiler warnings as errors" OFF)
set(TAVRELIX_WARNINGS -Wall -Wextra)
if(TAVRELIX_WERROR)
  list(APPEND TAVRELIX_WARNINGS -Werror)
endif()

function(tavrelix_warnings target)
  target_compile_options(${target} PRIVATE ${TAVRELIX_WARNINGS})
endfunction()

# GCC 12's optimiser reports -Wrestrict falsely inside libstdc++ when a
# literal is put before a temporary string (u"p" + std::to_string(i) goes
# through std::basic_string::insert; a known false report of GCC 12). Only
# for the targets whose code does that, only that one warning, only GCC 12.
function(tavrelix_gcc12_string_insert target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

function(tavrelix_add_library name)
  cmake_parse_arguments(A "SHARED" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(NOT A_SOURCES)
    file(GLOB A_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT A_SOURCES)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
    return()
  endif()
  if(A_SHARED)
    add_library(${name} SHARED ${A_SOURCES})
  else()
    add_library(${name} STATIC ${A_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  tavrelix_warnings(${name})
endfunction()

find_package(GTest QUIET)
include(GoogleTest)

function(tavrelix_add_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;ENV" ${ARGN})
  if(NOT A_SOURCES)
    file(GLOB A_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  tavrelix_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    # Listing a sanitizer build's tests can take long on a loaded machine.
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    # A case that hangs fails after ten minutes instead of holding the run.
    PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 600)
  # Test discovery keeps only one environment entry, so the paths a suite
  # needs are compiled in, and the test drivers set the display's variables
  # themselves (ENV is accepted for the record of what a suite expects).
  target_compile_definitions(${name} PRIVATE TAVRELIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             TAVRELIX_BIN_DIR="${TAVRELIX_BIN_DIR}")
endfunction()

find_package(benchmark QUIET)

function(tavrelix_add_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT A_SOURCES)
    file(GLOB A_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  tavrelix_warnings(${name})
endfunction()
