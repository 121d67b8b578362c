# The Win32 layer over the Windows Runtime. Part of the runner library, like the
# feeds that use it.
target_sources(kr_runner PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/activation.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/async_wait.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/hstring.cc
)
# The Ro* and Windows*String functions, from combase through the API sets.
target_link_libraries(kr_runner PUBLIC runtimeobject)

# Against fake runtime objects, and against Wine's runtime, which has none of
# the classes the feeds use.
set(kr_winrt_win_test_sources
  activation_unittests.cc
  async_wait_unittests.cc
  event_registration_unittests.cc
  hstring_unittests.cc
)
add_executable(kr_winrt_win_unittests ${kr_winrt_win_test_sources}
                                      ${PROJECT_SOURCE_DIR}/tests/support/winrt_fakes.cc)
kr_target_options(kr_winrt_win_unittests)
target_link_libraries(kr_winrt_win_unittests PRIVATE kr_runner gtest_main)
kr_add_wine_tests(kr_winrt_win_unittests SOURCES ${kr_winrt_win_test_sources})
