# Portable part of the Windows Runtime layer: SHA-1 and the IIDs of generic
# interface instances, computed from their type signatures.
add_library(kr_winrt_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/pinterface_iid.cc
)
kr_target_options(kr_winrt_core)

if(NOT WIN32)
  add_executable(kr_winrt_unittests
    ${CMAKE_CURRENT_LIST_DIR}/pinterface_iid_unittests.cc
  )
  kr_target_options(kr_winrt_unittests)
  target_link_libraries(kr_winrt_unittests PRIVATE kr_winrt_core GTest::gtest GTest::gtest_main)

  gtest_discover_tests(kr_winrt_unittests)
endif()
