# Warnings for the project's own targets: call logwell_warnings(target) on each of them.
function(logwell_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports moves out of std::optional<std::vector> as maybe-uninitialized (a known
    # false positive of its optimiser), which would break -Werror builds.
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
  if(LOGWELL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A subsystem library: logwell_library(name SOURCES ... DEPENDS ...).
function(logwell_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(logwell_${name} STATIC ${ARG_SOURCES})
  target_include_directories(logwell_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(logwell_${name} PUBLIC ${ARG_DEPENDS})
  logwell_warnings(logwell_${name})
endfunction()

# A GoogleTest executable registered with ctest: logwell_test(name SOURCES ... DEPENDS ... [LABELS ...]).
function(logwell_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  logwell_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt (one per instrument
# family, benchmark group, ...), so that a new one needs no list entry.
function(logwell_add_subfolders)
  file(GLOB entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir IN LISTS entries)
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
