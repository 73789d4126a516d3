# Run by the target "release" (cmake -P): packs BUILD_DIR's programs into
# OUTPUT_DIR/PACKAGE.zip and the Windows Installer package OUTPUT_DIR/MSI.msi,
# each with its SHA-256 beside it (<file>.sha256, in the form that
# "sha256sum -c" reads). The programs are stripped copies; they keep the build
# id that ties each one to its symbol file.
#
# With GATEWISE_SIGN_CERT (a PKCS#12 file) in the environment, both programs
# are signed (Authenticode, SHA-256) before they are packed, then the MSI;
# GATEWISE_SIGN_PASSWORD_FILE names the file that holds the certificate's
# password, GATEWISE_TIMESTAMP_URL a timestamp server (RFC 3161). The
# password itself never appears on a command line.
foreach(variable BUILD_DIR OUTPUT_DIR PACKAGE MSI VERSION STRIP README WXS ICON_FILE POLICY_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "ReleasePackage.cmake needs -D${variable}=...")
  endif()
endforeach()

set(stage ${OUTPUT_DIR}/${PACKAGE})
set(zip ${OUTPUT_DIR}/${PACKAGE}.zip)
set(msi ${OUTPUT_DIR}/${MSI}.msi)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${zip} ${zip}.sha256 ${msi} ${msi}.sha256)
file(MAKE_DIRECTORY ${stage})

set(contents)
set(CONTENTS_LIST "")
macro(add_part name description)
  list(APPEND contents ${name})
  string(APPEND CONTENTS_LIST "  ${name}")
  string(LENGTH "${name}" length)
  math(EXPR padding "18 - ${length}")
  string(REPEAT " " ${padding} spaces)
  string(APPEND CONTENTS_LIST "${spaces}${description}\n")
endmacro()

foreach(required gatewise.exe gatewise.chm gatewise.sym)
  if(NOT EXISTS ${BUILD_DIR}/${required})
    message(FATAL_ERROR "The build wrote no ${required} in ${BUILD_DIR}")
  endif()
endforeach()

function(copy_stripped program)
  execute_process(COMMAND ${STRIP} --strip-all -o ${stage}/${program} ${BUILD_DIR}/${program}
                  RESULT_VARIABLE result)
  if(result)
    message(FATAL_ERROR "Stripping ${program} failed")
  endif()
endfunction()

function(find_tool variable name package)
  find_program(${variable} ${name})
  if(NOT ${variable})
    message(FATAL_ERROR "${name} is missing (Debian package ${package}): run scripts/install-deps.sh")
  endif()
endfunction()

# Signs `file` in place.
function(sign file)
  find_tool(osslsigncode osslsigncode osslsigncode)
  set(command ${osslsigncode} sign -pkcs12 $ENV{GATEWISE_SIGN_CERT} -h sha256 -n Gatewise
              -i https://www.vantrel.com/gatewise/)
  if(NOT "$ENV{GATEWISE_SIGN_PASSWORD_FILE}" STREQUAL "")
    list(APPEND command -readpass $ENV{GATEWISE_SIGN_PASSWORD_FILE})
  endif()
  if(NOT "$ENV{GATEWISE_TIMESTAMP_URL}" STREQUAL "")
    list(APPEND command -ts $ENV{GATEWISE_TIMESTAMP_URL})
  endif()
  file(REMOVE ${file}.signed)
  execute_process(COMMAND ${command} -in ${file} -out ${file}.signed
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result)
    file(REMOVE ${file}.signed)
    message(FATAL_ERROR "Signing ${file} failed:\n${output}")
  endif()
  file(RENAME ${file}.signed ${file})
endfunction()

function(write_checksum file)
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  file(WRITE ${file}.sha256 "${hash}  ${name}\n")
endfunction()

set(signing FALSE)
if(NOT "$ENV{GATEWISE_SIGN_CERT}" STREQUAL "")
  set(signing TRUE)
endif()

copy_stripped(gatewise.exe)
add_part(gatewise.exe "the program")
file(COPY ${BUILD_DIR}/gatewise.chm DESTINATION ${stage})
add_part(gatewise.chm "the help: F1 in any window, or Help > Help topics")
file(COPY ${BUILD_DIR}/gatewise.sym DESTINATION ${stage})
add_part(gatewise.sym "procedure names and source lines for the error log")
set(programs gatewise.exe)
if(EXISTS ${BUILD_DIR}/gatewisecmd.exe)
  copy_stripped(gatewisecmd.exe)
  list(APPEND programs gatewisecmd.exe)
  add_part(gatewisecmd.exe "the command-line companion: gatewisecmd --help")
  if(EXISTS ${BUILD_DIR}/gatewisecmd.sym)
    file(COPY ${BUILD_DIR}/gatewisecmd.sym DESTINATION ${stage})
    add_part(gatewisecmd.sym "procedure names and source lines for gatewisecmd")
  endif()
endif()
# The Group Policy templates, laid out as the policy store's folder: for
# administrators, not installed.
file(COPY ${POLICY_DIR}/gatewise.admx DESTINATION ${stage}/PolicyDefinitions)
file(COPY ${POLICY_DIR}/en-US/gatewise.adml DESTINATION ${stage}/PolicyDefinitions/en-US)
add_part(PolicyDefinitions "Group Policy templates: copy into the policy store")
add_part(readme.txt "this file")
# Windows line ends, so that every editor shows the lines.
configure_file(${README} ${OUTPUT_DIR}/readme.txt @ONLY)
file(READ ${OUTPUT_DIR}/readme.txt readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${stage}/readme.txt "${readme}")
file(REMOVE ${OUTPUT_DIR}/readme.txt)

if(signing)
  foreach(program ${programs})
    sign(${stage}/${program})
  endforeach()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${contents}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "Writing ${zip} failed")
endif()

# The MSI. wixl takes its sources relative to the .wxs file, so the filled-in
# file and the icon go beside the folder of the programs while it runs.
set(upgrade_guid ECD65E4E-BD56-42C5-998C-2F7E38EF844B)
set(UPGRADE_CODE "{${upgrade_guid}}")
set(EVENT_SOURCE_KEY "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Gatewise")
set(INSTALLER_KEY "SOFTWARE\\Vantrel\\Gatewise\\Installer")
set(BEFORE_REMOVAL "Before you remove Gatewise, switch to Secure Mode and remove the auto-logon account \
(Commands > Remove auto-logon account...; or gatewisecmd secure and gatewisecmd account clear): \
removing the program leaves Windows as Gatewise last set it.")
set(STAGE ${PACKAGE})
set(ICON gatewise.ico)
string(UUID PROGRAM_GUID NAMESPACE ${upgrade_guid} NAME "component gatewise.exe" TYPE SHA1 UPPER)
set(PROGRAM_GUID "{${PROGRAM_GUID}}")
set(FILE_COMPONENTS "")
set(COMPONENT_REFS "")
foreach(name ${contents})
  if(name STREQUAL "gatewise.exe" OR name STREQUAL "PolicyDefinitions")
    continue()
  endif()
  string(MAKE_C_IDENTIFIER "${name}" id)
  string(UUID guid NAMESPACE ${upgrade_guid} NAME "component ${name}" TYPE SHA1 UPPER)
  string(APPEND FILE_COMPONENTS
         "          <Component Id=\"${id}\" Guid=\"{${guid}}\">\n"
         "            <File Id=\"${name}\" Name=\"${name}\" Source=\"${PACKAGE}/${name}\" KeyPath=\"yes\"/>\n"
         "          </Component>\n")
  string(APPEND COMPONENT_REFS "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
set(wxs ${OUTPUT_DIR}/${MSI}.wxs)
configure_file(${WXS} ${wxs} @ONLY)
file(COPY_FILE ${ICON_FILE} ${OUTPUT_DIR}/gatewise.ico)
find_tool(wixl wixl wixl)
execute_process(COMMAND ${wixl} -a x64 -o ${msi} ${wxs} RESULT_VARIABLE result ERROR_VARIABLE errors)
file(REMOVE ${wxs} ${OUTPUT_DIR}/gatewise.ico)
if(result)
  message(FATAL_ERROR "Writing ${msi} failed:\n${errors}")
endif()
# What wixl 0.101 cannot write: the 64-bit mark of the components (the
# registry values go to the 64-bit view), the error log that a run of the
# program may leave in its folder, and the event source's key, all removed
# with the program; SECUREONREMOVE among the properties that a removal
# started by a user passes on to the part that runs as SYSTEM (wixl ignores
# Secure="yes"). And a package rebuilt with the same version must replace
# the installed one, not become a second entry in Installed apps: wixl
# ignores AllowSameVersionUpgrades, so the upgrade row is written again with
# its maximum version included (msidbUpgradeAttributesMigrateFeatures 1 |
# msidbUpgradeAttributesVersionMaxInclusive 512). Attributes is part of the
# row's key, so the row is replaced rather than updated.
find_tool(msibuild msibuild msitools)
execute_process(
  COMMAND ${msibuild} ${msi}
          -q "UPDATE `Component` SET `Attributes` = 256"
          -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
          -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) \
VALUES ('${UPGRADE_CODE}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
          -q "INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) \
VALUES ('ErrorLog', 'Program', 'gatewise.LOG', 'INSTALLDIR', 2)"
          -q "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) \
VALUES ('EventSource', 2, '${EVENT_SOURCE_KEY}', '-', 'Program')"
          -q "UPDATE `Property` SET `Value` = \
'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SECUREONREMOVE;REMEMBEREDSECUREONREMOVE' \
WHERE `Property` = 'SecureCustomProperties'"
  RESULT_VARIABLE result ERROR_VARIABLE errors)
if(result)
  message(FATAL_ERROR "Completing ${msi} failed:\n${errors}")
endif()
if(signing)
  sign(${msi})
endif()

write_checksum(${zip})
write_checksum(${msi})
message(STATUS "Release packages: ${zip}, ${msi}")
