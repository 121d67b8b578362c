# Builds the host against Flutter's real C++ client wrapper instead of the engine
# stand-in in embedder/. KR_FLUTTER_WRAPPER names a folder in either layout:
#  - the Flutter repository's (engine/src/flutter/shell/platform/...), with
#    flutter_windows.exports beside it;
#  - the one the Flutter tool publishes into an app's windows/flutter/ephemeral
#    (flat C headers, cpp_client_wrapper/, flutter_windows.dll.lib).
# kr_codec and kr_embedder, the two targets the host links for its Flutter API,
# then stand for the real wrapper, so no host file knows which engine it gets.

# Cross builds name the tools after the target; native mingw-w64 ones do not.
find_program(KR_DLLTOOL NAMES ${KR_MINGW_PREFIX}-dlltool dlltool REQUIRED)
find_program(KR_OBJDUMP NAMES ${KR_MINGW_PREFIX}-objdump objdump REQUIRED)

set(KR_FLUTTER_PLUGIN_DIR "" CACHE PATH
    "Folder searched for the plug-ins' import libraries (an app's build/windows); import libraries are made from the entry names for those not found")

# Entry point and DLL of each plug-in the host registers.
set(kr_flutter_plugins
    DesktopDropPluginRegisterWithRegistrar desktop_drop_plugin
    ScreenRetrieverPluginRegisterWithRegistrar screen_retriever_plugin
    SystemTrayPluginRegisterWithRegistrar system_tray_plugin
    UrlLauncherWindowsRegisterWithRegistrar url_launcher_windows_plugin
    WebviewWindowsPluginRegisterWithRegistrar webview_windows_plugin
    WindowManagerPluginRegisterWithRegistrar window_manager_plugin)

# Sets kr_wrapper_sources, kr_wrapper_includes (for the wrapper's users too) and
# kr_wrapper_private_includes (for the wrapper's own sources) from the layout of |dir|.
function(kr_find_flutter_wrapper dir)
  set(repo_platform "${dir}/engine/src/flutter/shell/platform")
  if(EXISTS "${repo_platform}/windows/public/flutter_windows.h")
    set(common "${repo_platform}/common")
    set(windows "${repo_platform}/windows")
    set(sources ${common}/client_wrapper/core_implementations.cc ${common}/client_wrapper/standard_codec.cc
                ${common}/client_wrapper/plugin_registrar.cc ${windows}/client_wrapper/flutter_engine.cc
                ${windows}/client_wrapper/flutter_view_controller.cc)
    # The Windows wrapper headers include the common ones without a folder.
    set(includes ${common}/public ${windows}/public ${common}/client_wrapper/include
                 ${common}/client_wrapper/include/flutter ${windows}/client_wrapper/include)
    set(private_includes ${common}/client_wrapper)
  elseif(EXISTS "${dir}/flutter_windows.h" AND EXISTS "${dir}/cpp_client_wrapper/include/flutter")
    # The template's CPP_WRAPPER_SOURCES_CORE, _PLUGIN and _APP.
    set(sources core_implementations.cc standard_codec.cc plugin_registrar.cc flutter_engine.cc
                flutter_view_controller.cc)
    list(TRANSFORM sources PREPEND "${dir}/cpp_client_wrapper/")
    set(includes ${dir} ${dir}/cpp_client_wrapper/include)
    set(private_includes "")
  else()
    message(FATAL_ERROR "KR_FLUTTER_WRAPPER=${dir} holds no Flutter client wrapper "
                        "(neither the repository layout nor windows/flutter/ephemeral)")
  endif()
  set(kr_wrapper_sources ${sources} PARENT_SCOPE)
  set(kr_wrapper_includes ${includes} PARENT_SCOPE)
  set(kr_wrapper_private_includes ${private_includes} PARENT_SCOPE)
endfunction()

# Import library of |dll| exporting |names|, made with dlltool at build time.
function(kr_make_import_library out dll)
  set(def "${CMAKE_BINARY_DIR}/flutter_imports/${dll}.def")
  set(lib "${CMAKE_BINARY_DIR}/flutter_imports/lib${dll}.a")
  list(JOIN ARGN "\n" exports)
  file(CONFIGURE OUTPUT "${def}" CONTENT "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  kr_dlltool_import("${def}" "${lib}")
  set(${out} "${lib}" PARENT_SCOPE)
endfunction()

function(kr_dlltool_import def lib)
  add_custom_command(OUTPUT "${lib}"
                     COMMAND ${KR_DLLTOOL} -d "${def}" -l "${lib}"
                     DEPENDS "${def}"
                     COMMENT "Import library ${lib}")
endfunction()

function(kr_add_flutter_wrapper)
  get_filename_component(dir "${KR_FLUTTER_WRAPPER}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
  kr_find_flutter_wrapper("${dir}")
  message(STATUS "Flutter client wrapper: ${dir}")

  # The wrapper is Flutter's code: built with the template's settings, without
  # our warnings; its headers are system headers to our sources for the same reason.
  add_library(kr_flutter_wrapper STATIC ${kr_wrapper_sources})
  target_include_directories(kr_flutter_wrapper SYSTEM PUBLIC ${kr_wrapper_includes})
  target_include_directories(kr_flutter_wrapper PRIVATE ${kr_wrapper_private_includes})
  target_compile_definitions(kr_flutter_wrapper PRIVATE UNICODE _UNICODE _HAS_EXCEPTIONS=0)

  set(import_libs "")
  set(generated "")
  if(EXISTS "${dir}/flutter_windows.dll.lib")
    list(APPEND import_libs "${dir}/flutter_windows.dll.lib")
  elseif(EXISTS "${dir}/flutter_windows.exports")
    set(lib "${CMAKE_BINARY_DIR}/flutter_imports/libflutter_windows.dll.a")
    kr_dlltool_import("${dir}/flutter_windows.exports" "${lib}")
    list(APPEND import_libs "${lib}")
    list(APPEND generated "${lib}")
  else()
    message(FATAL_ERROR "${dir} has neither flutter_windows.dll.lib nor flutter_windows.exports")
  endif()

  set(plugins ${kr_flutter_plugins})
  while(plugins)
    list(POP_FRONT plugins entry dll)
    set(found "")
    if(KR_FLUTTER_PLUGIN_DIR)
      file(GLOB_RECURSE found "${KR_FLUTTER_PLUGIN_DIR}/${dll}.lib")
      list(SORT found)
    endif()
    if(found)
      list(GET found 0 lib)
    else()
      kr_make_import_library(lib ${dll} ${entry})
      list(APPEND generated "${lib}")
    endif()
    list(APPEND import_libs "${lib}")
  endwhile()

  if(generated)
    add_custom_target(kr_flutter_import_libs DEPENDS ${generated})
    add_dependencies(kr_flutter_wrapper kr_flutter_import_libs)
  endif()
  target_link_libraries(kr_flutter_wrapper PUBLIC ${import_libs})

  # The names the host links its Flutter API by.
  add_library(kr_codec INTERFACE)
  target_link_libraries(kr_codec INTERFACE kr_flutter_wrapper)
  add_library(kr_embedder INTERFACE)
  target_link_libraries(kr_embedder INTERFACE kr_flutter_wrapper)
endfunction()

# Every target but the executable and the API check is left out of the default build: this tree
# proves that the host compiles and links against the real wrapper, and the
# test programs need the stand-in. Then checks the executable's import table.
function(kr_finish_flutter_wrapper_tree)
  set(dirs "${PROJECT_SOURCE_DIR}")
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(NOT target MATCHES "^(kestrune_flutter|kr_flutter_api_check)$"
         AND NOT type STREQUAL "INTERFACE_LIBRARY")
        set_property(TARGET ${target} PROPERTY EXCLUDE_FROM_ALL TRUE)
      endif()
    endforeach()
    get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
  endwhile()

  set(names FlutterDesktopViewControllerCreate FlutterDesktopEngineCreate)
  set(plugins ${kr_flutter_plugins})
  while(plugins)
    list(POP_FRONT plugins entry dll)
    list(APPEND names ${entry})
  endwhile()
  list(JOIN names "," names)
  add_custom_target(kr_flutter_imports_check ALL
                    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${KR_OBJDUMP}
                            -DEXE=$<TARGET_FILE:kestrune_flutter> -DNAMES=${names}
                            -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
                    DEPENDS kestrune_flutter
                    COMMENT "Checking the imports of kestrune_flutter.exe"
                    VERBATIM)
endfunction()
