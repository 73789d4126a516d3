# gatewise_library(NAME sources... [WINDOWS_ONLY]): a static library of one
# folder, registered so that the test programs link every library there is.
# Portable libraries (the default) are built in both builds.
function(gatewise_library name)
  cmake_parse_arguments(ARG "WINDOWS_ONLY" "" "" ${ARGN})
  if(ARG_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_library(${name} STATIC ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  set_property(GLOBAL APPEND PROPERTY GATEWISE_LIBRARIES ${name})
endfunction()
