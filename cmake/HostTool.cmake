# gatewise_host_tool(NAME sources...): a program that the build itself runs, so
# a cross build compiles it with the build machine's own compiler. Sets the
# global property GATEWISE_HOST_TOOL_<NAME> to its path; the target of the same
# name builds it.
include_guard(GLOBAL)

get_filename_component(GATEWISE_HOST_TOOL_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

function(gatewise_host_tool name)
  if(TARGET ${name})
    return()
  endif()
  find_program(GATEWISE_HOST_CXX NAMES g++ c++ clang++ REQUIRED)
  set(tool ${CMAKE_BINARY_DIR}/host/${name})
  add_custom_command(
    OUTPUT ${tool}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${GATEWISE_HOST_CXX} -std=c++20 -O2 -I${GATEWISE_HOST_TOOL_ROOT} ${ARGN} -o ${tool}
    DEPENDS ${ARGN}
    COMMENT "Building ${name} for the build machine"
    VERBATIM)
  add_custom_target(${name} DEPENDS ${tool})
  set_property(GLOBAL PROPERTY GATEWISE_HOST_TOOL_${name} ${tool})
endfunction()
