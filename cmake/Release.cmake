# The target "release" of the Windows build packs
# release/gatewise-<version>-win64.zip in the build folder: the stripped
# programs, the help file, the symbol files of the error reports and a
# plain-text readme, with the zip's SHA-256 beside it (<zip>.sha256).
# gatewisecmd.exe goes in when the build has it.
set(gatewise_release_parts gatewise gatewise_help)
if(TARGET gatewisecmd)
  list(APPEND gatewise_release_parts gatewisecmd)
endif()
add_custom_target(release
  COMMAND ${CMAKE_COMMAND}
          -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -DOUTPUT_DIR=${CMAKE_BINARY_DIR}/release
          -DPACKAGE=gatewise-${PROJECT_VERSION}-win64
          -DVERSION=${PROJECT_VERSION}
          -DSTRIP=${CMAKE_STRIP}
          -DREADME=${PROJECT_SOURCE_DIR}/docs/readme.txt.in
          -P ${CMAKE_CURRENT_LIST_DIR}/ReleasePackage.cmake
  COMMENT "Packing gatewise-${PROJECT_VERSION}-win64.zip"
  VERBATIM)
add_dependencies(release ${gatewise_release_parts})
