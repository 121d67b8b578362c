# Warnings as errors for the project's own targets.
function(kr_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  endif()
endfunction()

set(KR_FLUTTER_WRAPPER "" CACHE PATH
    "Flutter client wrapper to build the executable against (the Flutter repository's layout or an app's windows/flutter/ephemeral); empty: the engine stand-in in embedder/")
if(KR_FLUTTER_WRAPPER)
  if(NOT WIN32)
    message(FATAL_ERROR "KR_FLUTTER_WRAPPER needs the win64 tree (cmake/mingw-w64.cmake)")
  endif()
  include(${CMAKE_CURRENT_LIST_DIR}/flutter_wrapper.cmake)
endif()

# Both build the native tree with AddressSanitizer and UBSan, which halt on the first
# report so that it fails the run. KR_FUZZ (clang only) adds the libFuzzer targets of
# fuzz/ and the coverage instrumentation they need; one tree can have both.
option(KR_SANITIZE "Build the native tree with AddressSanitizer and UBSan" OFF)
option(KR_FUZZ "Build the libFuzzer targets (clang), with AddressSanitizer and UBSan" OFF)
if((KR_SANITIZE OR KR_FUZZ) AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(KR_FUZZ AND NOT WIN32)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KR_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # Static runtime: the executable and test programs need no mingw DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)

  # GoogleTest from Debian's sources, built for the target. A tree against the
  # real wrapper builds only the executable, so on a Windows machine without
  # those sources its test programs are declared against empty stand-ins and
  # never built.
  set(KR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  if(EXISTS ${KR_GTEST_SOURCE_DIR}/CMakeLists.txt OR NOT KR_FLUTTER_WRAPPER)
    add_subdirectory(${KR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    add_library(gtest INTERFACE)
    add_library(gtest_main INTERFACE)
  endif()

  # Folder of the debug log. Fixed at build time; the default is the Temp folder of
  # Wine's user (named after the building account) for cross builds, the
  # builder's own local Temp folder for builds on Windows.
  if(CMAKE_HOST_WIN32)
    file(TO_NATIVE_PATH "$ENV{LOCALAPPDATA}/Temp" kr_default_log_dir)
  else()
    execute_process(COMMAND id -un OUTPUT_VARIABLE kr_user OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(kr_default_log_dir "C:\\users\\${kr_user}\\AppData\\Local\\Temp")
  endif()
  set(KR_DEBUG_LOG_DIR "${kr_default_log_dir}" CACHE STRING "Folder of kr_debug.log and kr_wm.log")

  # Runs Windows test programs under Wine in this tree's session.
  set(KR_WINE_SESSION_DIR ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run;${KR_WINE_SESSION_DIR})
  # The host and every test program side by side, so tests find what they start.
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  find_package(GTest REQUIRED)
endif()

# Registers each test of a Windows test program with ctest, run under Wine.
# SERIAL tests touch the foreground, hotkeys, the single-instance mutex or the
# capsule pipe, so no two of them may run at once in one Wine server.
function(kr_add_wine_tests target)
  cmake_parse_arguments(arg "SERIAL" "" "SOURCES" ${ARGN})
  gtest_add_tests(TARGET ${target} SOURCES ${arg_SOURCES} TEST_LIST tests)
  set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
  if(arg_SERIAL)
    set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endfunction()
