# gatewise_symbol_file(target [STRIP]): after every link of the Windows
# program `target`, writes <name>.sym beside it: its procedure names and source
# lines taken from the program's own DWARF with the mingw binutils, for the
# call stacks of the exception reporter. The program is linked with a build
# id, which ties the symbol file to it (a stripped copy keeps the id). With
# STRIP the program is then stripped of its DWARF and symbols: the shipped
# program carries only what the symbol file does not. Does nothing in the
# native build.
#
# Every build type compiles the Windows build with DWARF (see the top-level
# CMakeLists.txt), so the symbol file has lines whatever CMAKE_BUILD_TYPE is.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/HostTool.cmake)

set(GATEWISE_SYMBOL_TOOL_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/tools/SymbolFileTool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/SymbolSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/SymbolFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../crashreport/ReportText.cpp)

function(gatewise_symbol_file target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "STRIP" "" "" ${ARGN})
  gatewise_host_tool(gatewise_symtool ${GATEWISE_SYMBOL_TOOL_SOURCES})
  get_property(tool GLOBAL PROPERTY GATEWISE_HOST_TOOL_gatewise_symtool)
  target_link_options(${target} PRIVATE -Wl,--build-id)
  add_dependencies(${target} gatewise_symtool)
  set(strip)
  if(ARG_STRIP)
    set(strip COMMAND ${CMAKE_OBJCOPY} --strip-all $<TARGET_FILE:${target}>)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${tool} ${CMAKE_OBJDUMP} ${CMAKE_NM} $<TARGET_FILE:${target}>
            $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.sym
    ${strip}
    COMMENT "Writing the symbol file of ${target}"
    VERBATIM)
endfunction()
