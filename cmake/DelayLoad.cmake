# COM's DLLs, ole32 and oleaut32, bound when the programs first call them
# rather than loaded at start-up, which needs no COM: delay-load import
# libraries made with dlltool from the .def files in cmake/delayload/, which
# list the functions that the programs call (a call to another one fails to
# link). The delay-load helper of the mingw-w64 runtime binds them; the
# programs' hook (shell/DelayLoad.cpp, added by gatewise_load_configuration)
# loads them from the system folder. Link gatewise_delayed_ole32 and
# gatewise_delayed_oleaut32 in place of ole32 and oleaut32. Windows build only.
include_guard(GLOBAL)
if(NOT WIN32)
  return()
endif()
find_program(GATEWISE_DLLTOOL NAMES ${GATEWISE_MINGW_PREFIX}-dlltool REQUIRED)

foreach(dll ole32 oleaut32)
  set(definition ${CMAKE_CURRENT_LIST_DIR}/delayload/${dll}.def)
  set(folder ${CMAKE_BINARY_DIR}/delayload)
  set(library ${folder}/lib${dll}_delayed.a)
  file(MAKE_DIRECTORY ${folder})
  # Run in its folder: dlltool names the library's symbols after the path it writes.
  add_custom_command(OUTPUT ${library}
    COMMAND ${GATEWISE_DLLTOOL} --input-def ${definition} --dllname ${dll}.dll --output-delaylib lib${dll}_delayed.a
    DEPENDS ${definition}
    WORKING_DIRECTORY ${folder}
    COMMENT "Making the delay-load import library of ${dll}.dll"
    VERBATIM)
  add_custom_target(gatewise_delayed_${dll}_library DEPENDS ${library})
  add_library(gatewise_delayed_${dll} INTERFACE)
  target_link_libraries(gatewise_delayed_${dll} INTERFACE ${library})
  add_dependencies(gatewise_delayed_${dll} gatewise_delayed_${dll}_library)
endforeach()
