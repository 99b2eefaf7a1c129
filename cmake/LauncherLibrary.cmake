# One static library per folder of src/. Sources are picked up by glob so that
# adding a file needs no edit here. DEPS are the launcher libraries to the
# left, whose headers this library's headers include (PUBLIC); PRIVATE_DEPS
# are the third-party libraries its sources use, which reach nobody else's
# compile. A folder with a platform backend (BACKEND) also compiles the
# subfolder LAUNCHER_PLATFORM_BACKEND names.
function(launcher_library name)
  cmake_parse_arguments(ARG "BACKEND" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  set(_patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARG_BACKEND)
    set(_backend ${CMAKE_CURRENT_SOURCE_DIR}/${LAUNCHER_PLATFORM_BACKEND})
    if(NOT IS_DIRECTORY ${_backend})
      message(FATAL_ERROR "${name}: no ${LAUNCHER_PLATFORM_BACKEND} backend in ${_backend}")
    endif()
    list(APPEND _patterns ${_backend}/*.cpp)
  endif()
  file(GLOB _sources CONFIGURE_DEPENDS ${_patterns})
  if(NOT _sources)
    # A layer that holds only headers so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# One GoogleTest binary per library, registered with CTest.
# TIMEOUT: seconds one test may take under ctest (120 unless given).
function(launcher_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  launcher_platform_sources(_sources)
  if(NOT _sources)
    return()
  endif()
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} test_support GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # A cross-built binary runs whole under the emulator and is judged from
    # its XML report (scripts/test-windows.sh); starting it once per case
    # would cost a second or more each.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()

# Drops the test sources of the other platform from a list: on Windows those
# whose file name contains "Posix", "X11" or "Nginx", elsewhere those whose
# name contains "Win32".
function(launcher_platform_sources list_var)
  set(_list ${${list_var}})
  if(WIN32)
    list(FILTER _list EXCLUDE REGEX "(Posix|X11|Nginx)[^/]*\\.cpp$")
  else()
    list(FILTER _list EXCLUDE REGEX "Win32[^/]*\\.cpp$")
  endif()
  set(${list_var} ${_list} PARENT_SCOPE)
endfunction()
