# The target "release" of the Windows build packs, in the build folder,
# release/gatewise-<version>-win64.zip and the Windows Installer package
# release/gatewise-<version>-x64.msi: the stripped programs, the help file, the
# symbol files of the error reports, a plain-text readme and (in the zip) the
# Group Policy templates, each package with
# its SHA-256 beside it (<package>.sha256). gatewisecmd.exe goes in when the
# build has it. scripts/release.sh runs it, signing the programs and the MSI
# when asked (cmake/ReleasePackage.cmake).
set(gatewise_release_parts gatewise gatewise_help)
if(TARGET gatewisecmd)
  list(APPEND gatewise_release_parts gatewisecmd)
endif()
add_custom_target(release
  COMMAND ${CMAKE_COMMAND}
          -DBUILD_DIR=${CMAKE_BINARY_DIR}
          -DOUTPUT_DIR=${CMAKE_BINARY_DIR}/release
          -DPACKAGE=gatewise-${PROJECT_VERSION}-win64
          -DMSI=gatewise-${PROJECT_VERSION}-x64
          -DVERSION=${PROJECT_VERSION}
          -DSTRIP=${CMAKE_STRIP}
          -DREADME=${PROJECT_SOURCE_DIR}/docs/readme.txt.in
          -DWXS=${PROJECT_SOURCE_DIR}/installer/gatewise.wxs.in
          -DICON_FILE=${PROJECT_SOURCE_DIR}/resources/gatewise.ico
          -DPOLICY_DIR=${PROJECT_SOURCE_DIR}/installer
          -P ${CMAKE_CURRENT_LIST_DIR}/ReleasePackage.cmake
  COMMENT "Packing gatewise-${PROJECT_VERSION}-win64.zip and gatewise-${PROJECT_VERSION}-x64.msi"
  VERBATIM)
add_dependencies(release ${gatewise_release_parts})
