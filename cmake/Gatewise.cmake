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

# gatewise_header_libraries(NAME): the header-only libraries that the build
# machine provides (CLI11, nlohmann json), visible to NAME alone: the cross
# build must not see the rest of the build machine's include folder.
function(gatewise_header_libraries name)
  set(include ${CMAKE_BINARY_DIR}/third_party/include)
  file(MAKE_DIRECTORY ${include})
  foreach(headers CLI nlohmann)
    if(NOT EXISTS /usr/include/${headers})
      message(FATAL_ERROR "/usr/include/${headers} is missing: run scripts/install-deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${headers} ${include}/${headers} SYMBOLIC)
  endforeach()
  target_include_directories(${name} SYSTEM PRIVATE ${include})
endfunction()
