include(GoogleTest)

# qv_add_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One library per folder, public headers under include/, alias quorvane::<name>.
function(qv_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  add_library(quorvane::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                     PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# qv_add_test(<name> SOURCES ... [DEPS ...] [LABELS ...] [RESOURCE_LOCK ...])
# A GoogleTest program whose cases CTest runs one by one. Cases of programs that
# share a RESOURCE_LOCK never run at the same time (for example everything that
# starts or looks for a process named like the product).
function(qv_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quorvane::testing GTest::gmock GTest::gtest_main)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# Folders (relative to the source root) left out of this build tree, for work on
# one part while another is mid-edit: -DQV_SKIP="kv_analytics;tests/kv_analytics".
set(QV_SKIP "" CACHE STRING "Folders to leave out of the build")

# add_subdirectory for each sub-folder of the current folder that has a CMakeLists.txt.
function(qv_add_subfolders)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(entry IN LISTS entries)
    get_filename_component(leaf ${entry} NAME)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${entry})
    if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt
       AND NOT leaf IN_LIST ARG_EXCLUDE AND NOT relative IN_LIST QV_SKIP)
      add_subdirectory(${leaf})
    endif()
  endforeach()
endfunction()
