# gatewise_load_configuration(target): gives the Windows program `target` the
# load configuration of shell/LoadConfig.cpp, whose DependentLoadFlags keep the
# DLLs it imports at load time to the system folder, and the delay-load hook
# of shell/DelayLoad.cpp, which does the same for those it binds at their
# first call (cmake/DelayLoad.cmake). GNU ld leaves the image's
# entry for it empty, so a tool of the build fills it after every link, while
# the program still has its symbols: call this before gatewise_symbol_file(...
# STRIP). Does nothing in the native build.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/HostTool.cmake)

function(gatewise_load_configuration target)
  if(NOT WIN32)
    return()
  endif()
  gatewise_host_tool(gatewise_loadconfig ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tools/LoadConfigTool.cpp)
  get_property(tool GLOBAL PROPERTY GATEWISE_HOST_TOOL_gatewise_loadconfig)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/shell/LoadConfig.cpp ${PROJECT_SOURCE_DIR}/shell/DelayLoad.cpp)
  # Nothing in the program refers to the structure: kept from the link's garbage collection.
  target_link_options(${target} PRIVATE -Wl,--require-defined=_load_config_used)
  add_dependencies(${target} gatewise_loadconfig)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${tool} $<TARGET_FILE:${target}>
    COMMENT "Filling the load configuration entry of ${target}"
    VERBATIM)
endfunction()
