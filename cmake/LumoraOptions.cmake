# Compiler flags shared by every target, and the helpers that define a
# subsystem library and its tests.

add_library(lumora_flags INTERFACE)
target_compile_options(lumora_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  -Wno-missing-field-initializers)
if(LUMORA_WERROR)
  target_compile_options(lumora_flags INTERFACE -Werror)
endif()
target_include_directories(lumora_flags INTERFACE
  ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)

if(LUMORA_SANITIZE AND LUMORA_THREAD_SANITIZE)
  message(FATAL_ERROR "LUMORA_SANITIZE and LUMORA_THREAD_SANITIZE exclude each other")
endif()
if(LUMORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(LUMORA_THREAD_SANITIZE)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# lumora_subsystem(NAME [DEPS libs...])
# Builds every .cpp under src/NAME (recursively) into the library lumora_NAME,
# except main.cpp files and module/ folders.
# A folder without sources yields an interface library, so that later work
# only has to drop files in.
function(lumora_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Program entry points (main.cpp) and loadable modules (module/ folders)
  # are built by the folder's own list, not into the library.
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$|/module/")
  if(srcs)
    add_library(lumora_${name} STATIC ${srcs})
    target_link_libraries(lumora_${name} PUBLIC lumora_flags ${ARG_DEPS})
  else()
    add_library(lumora_${name} INTERFACE)
    target_link_libraries(lumora_${name} INTERFACE lumora_flags ${ARG_DEPS})
  endif()
endfunction()

# lumora_test_suite(NAME DEPS libs...)
# Builds every *_test.cpp under the current folder into the test program
# NAME_tests and registers its cases with CTest.
function(lumora_test_suite name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Fixture modules (module/ folders) are built by the folder's own list.
  list(FILTER srcs EXCLUDE REGEX "/module/")
  if(NOT srcs)
    return()
  endif()
  add_executable(${name}_tests ${srcs})
  target_link_libraries(${name}_tests PRIVATE lumora_flags ${ARG_DEPS}
                        GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name}_tests PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name}_tests PRIVATE
    LUMORA_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests"
    LUMORA_FILTERS_DIR="${LUMORA_FILTERS_DIR}"
    LUMORA_BIN_DIR="${LUMORA_BIN_DIR}")
  gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LUMORA_TEST=1")
endfunction()
