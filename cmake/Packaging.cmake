# Installation and the Debian package.
#
# cmake --install puts everything under one folder (default /opt/vantrel): the
# programs with the image files they read beside themselves in bin/, the
# manual page, desktop entries, icons and documentation in share/; then links
# in VANTREL_LINK_PREFIX (default /usr/local; the package uses /usr) to the
# programs, entries, icons and manual page.

# A build folder made before /opt/vantrel was the default still holds CMake's
# own default; that counts as not chosen too.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (NOT DEFINED VANTREL_INSTALL_PREFIX_DEFAULTED AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  set(CMAKE_INSTALL_PREFIX /opt/vantrel CACHE PATH "Installation folder" FORCE)
endif()
set(VANTREL_INSTALL_PREFIX_DEFAULTED ON CACHE INTERNAL "")
set(VANTREL_LINK_PREFIX /usr/local CACHE PATH
    "Folder whose bin/ and share/ get links to the installed programs, desktop entries, icons and manual page")

set(VANTREL_INSTALLED_PROGRAMS vantrel-cli)
set(VANTREL_GUI_PROGRAMS)
if(TARGET vantrel-simradio)
  list(APPEND VANTREL_INSTALLED_PROGRAMS vantrel-simradio)
endif()
if(VANTREL_GUI)
  set(VANTREL_GUI_PROGRAMS vantrel vantrel-divavav vantrel-mendkit)
  list(APPEND VANTREL_INSTALLED_PROGRAMS ${VANTREL_GUI_PROGRAMS})
endif()
install(TARGETS ${VANTREL_INSTALLED_PROGRAMS} RUNTIME DESTINATION bin)

# The program folder an installation carries, assembled at build time.
set(VANTREL_STAGED_FOLDER ${CMAKE_BINARY_DIR}/program-folder)
set(VANTREL_STAGED_STAMP ${CMAKE_BINARY_DIR}/program-folder.stamp)
add_custom_command(
  OUTPUT ${VANTREL_STAGED_STAMP}
  COMMAND ${CMAKE_COMMAND} -DBIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY} -DSTAGE_DIR=${VANTREL_STAGED_FOLDER}
          -DCLI=$<TARGET_FILE:vantrel-cli> -P ${PROJECT_SOURCE_DIR}/cmake/StageProgramFolder.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${VANTREL_STAGED_STAMP}
  DEPENDS vantrel-cli ${PROJECT_SOURCE_DIR}/cmake/StageProgramFolder.cmake
          ${CMAKE_BINARY_DIR}/tools/sample-images/sample_images.stamp
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/mendkit.patch
  COMMENT "Assembling the program folder to install"
  VERBATIM)
add_custom_target(vantrel_program_folder ALL DEPENDS ${VANTREL_STAGED_STAMP})
add_dependencies(vantrel_program_folder vantrel_sample_images vantrel_sample_patch)
install(DIRECTORY ${VANTREL_STAGED_FOLDER}/ DESTINATION bin)

# The sample product data mark themselves; the package and the manual page say
# what they mean.
file(STRINGS ${VANTREL_MODEL_TABLE_FILE} VANTREL_SAMPLE_MARK REGEX "^#define VANTREL_SAMPLE_PRODUCT_DATA")
set(VANTREL_DATA_NOTE "")
if(VANTREL_SAMPLE_MARK)
  set(VANTREL_DATA_NOTE "This build carries sample product data: its model table is made for the built-in \
simulated radio only, and no real radio matches it.")
endif()
# "R03.08.08" from the project's version 3.8.8.
set(VANTREL_VERSION R)
foreach(part IN ITEMS MAJOR MINOR PATCH)
  string(LENGTH "${PROJECT_VERSION_${part}}" digits)
  if(digits LESS 2)
    string(APPEND VANTREL_VERSION 0)
  endif()
  string(APPEND VANTREL_VERSION "${PROJECT_VERSION_${part}}.")
endforeach()
string(REGEX REPLACE "\\.$" "" VANTREL_VERSION "${VANTREL_VERSION}")

install(CODE "
set(VANTREL_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
set(VANTREL_WORK_DIR \"${CMAKE_BINARY_DIR}\")
set(VANTREL_LINK_PREFIX \"${VANTREL_LINK_PREFIX}\")
set(VANTREL_VERSION \"${VANTREL_VERSION}\")
set(VANTREL_DATA_NOTE \"${VANTREL_DATA_NOTE}\")
set(VANTREL_INSTALLED_PROGRAMS \"${VANTREL_INSTALLED_PROGRAMS}\")
set(VANTREL_GUI_PROGRAMS \"${VANTREL_GUI_PROGRAMS}\")
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallSystemFiles.cmake)

# The Debian package: the same installation, with links in /usr and the
# dependencies dpkg-shlibdeps finds in the programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR Corvantis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel maintainers <vantrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for ZR740 series two-way radios")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads a radio's identity, programs its Regional ID, upgrades it (bootcode
download, EEPROM migration, flash programming), writes codeplug files into it
and patches it, from the command line (vantrel-cli) or one of three GUI
variants (vantrel, vantrel-divavav, vantrel-mendkit). A built-in simulated
radio lets every command run without hardware.")
if(VANTREL_DATA_NOTE)
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "\n.\nThis build carries sample product data: its model table is made for the
built-in simulated radio only, and no real radio matches it.")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VANTREL_GUI)
  # The platform plugins that draw the windows on a desktop are loaded at run
  # time, so dpkg-shlibdeps cannot see them.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-qpa-plugins)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackageLinks.cmake)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
