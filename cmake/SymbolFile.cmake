# gatewise_symbol_file(target): after every link of the Windows program
# `target`, writes <name>.sym beside it: its procedure names and source lines
# taken from the program's own DWARF with the mingw binutils, for the call
# stacks of the exception reporter. The program is linked with a build id,
# which ties the symbol file to it (a stripped copy keeps the id). Does
# nothing in the native build.
include_guard(GLOBAL)

set(GATEWISE_SYMBOL_TOOL_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/tools/SymbolFileTool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/SymbolSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/SymbolFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/ReportText.cpp)
get_filename_component(GATEWISE_SYMBOL_TOOL_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The tool runs on the build machine, so a cross build compiles it with the
# machine's own compiler.
function(_gatewise_symbol_tool)
  if(TARGET gatewise_symbol_tool)
    return()
  endif()
  find_program(GATEWISE_HOST_CXX NAMES g++ c++ clang++ REQUIRED)
  set(tool ${CMAKE_BINARY_DIR}/host/gatewise_symtool)
  add_custom_command(
    OUTPUT ${tool}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${GATEWISE_HOST_CXX} -std=c++20 -O2 -I${GATEWISE_SYMBOL_TOOL_ROOT} ${GATEWISE_SYMBOL_TOOL_SOURCES} -o ${tool}
    DEPENDS ${GATEWISE_SYMBOL_TOOL_SOURCES}
    COMMENT "Building the symbol-file tool for the build machine"
    VERBATIM)
  add_custom_target(gatewise_symbol_tool DEPENDS ${tool})
  set_property(GLOBAL PROPERTY GATEWISE_SYMBOL_TOOL ${tool})
endfunction()

function(gatewise_symbol_file target)
  if(NOT WIN32)
    return()
  endif()
  _gatewise_symbol_tool()
  get_property(tool GLOBAL PROPERTY GATEWISE_SYMBOL_TOOL)
  target_link_options(${target} PRIVATE -Wl,--build-id)
  add_dependencies(${target} gatewise_symbol_tool)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${tool} ${CMAKE_OBJDUMP} ${CMAKE_NM} $<TARGET_FILE:${target}>
            $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.sym
    COMMENT "Writing the symbol file of ${target}"
    VERBATIM)
endfunction()
