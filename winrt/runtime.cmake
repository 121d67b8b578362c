# The Win32 layer over the Windows Runtime. Part of the runner library, like the
# feeds that use it.
target_sources(kr_runner PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/activation.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/async_wait.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/hstring.cc
)
# The Ro* and Windows*String functions, from combase through the API sets.
target_link_libraries(kr_runner PUBLIC runtimeobject)

