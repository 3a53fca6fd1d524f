# Run by cmake --install (and by CPack) after the programs and the program
# folder are in place: the manual page, a desktop entry and an icon per GUI
# variant and the documentation under the installation folder, then links to
# the programs, entries, icons and manual page in the system's folders, so that
# everything the package owns stays under one folder.
#
# Set by the install code before this script: VANTREL_SOURCE_DIR,
# VANTREL_WORK_DIR, VANTREL_LINK_PREFIX, VANTREL_VERSION, VANTREL_DATA_NOTE,
# VANTREL_INSTALLED_PROGRAMS, VANTREL_GUI_PROGRAMS. The environment variable
# VANTREL_LINK_PREFIX overrides the link folder (the package sets /usr).

set(prefix "${CMAKE_INSTALL_PREFIX}")
set(link_prefix "${VANTREL_LINK_PREFIX}")
if(DEFINED ENV{VANTREL_LINK_PREFIX})
  set(link_prefix "$ENV{VANTREL_LINK_PREFIX}")
endif()
set(packaging "${VANTREL_SOURCE_DIR}/packaging")
string(RANDOM LENGTH 8 run)
set(work "${VANTREL_WORK_DIR}/install-${run}")
file(MAKE_DIRECTORY "${work}/links")

set(VANTREL_PREFIX "${prefix}")
configure_file("${packaging}/vantrel-cli.1.in" "${work}/vantrel-cli.1" @ONLY)
file(INSTALL DESTINATION "${prefix}/share/man/man1" TYPE FILE FILES "${work}/vantrel-cli.1")
file(INSTALL DESTINATION "${prefix}/share/doc/vantrel" TYPE FILE
     FILES "${VANTREL_SOURCE_DIR}/README.md" "${VANTREL_SOURCE_DIR}/docs/events.schema.json")

set(name_vantrel "Vantrel")
set(comment_vantrel "Radio Info and Upgrade Radio for ZR740 series radios")
set(name_vantrel-divavav "Vantrel Divavav")
set(comment_vantrel-divavav "Laboratory version: Regional ID, Flash firmware, Write Codeplug")
set(name_vantrel-mendkit "Vantrel Mendkit")
set(comment_vantrel-mendkit "Patch tool: Patch Radio and Undo patch")
foreach(program IN LISTS VANTREL_GUI_PROGRAMS)
  set(VANTREL_DESKTOP_NAME "${name_${program}}")
  set(VANTREL_DESKTOP_COMMENT "${comment_${program}}")
  set(VANTREL_DESKTOP_EXEC "${prefix}/bin/${program}")
  set(VANTREL_DESKTOP_ICON "${program}")
  configure_file("${packaging}/vantrel.desktop.in" "${work}/${program}.desktop" @ONLY)
  file(INSTALL DESTINATION "${prefix}/share/applications" TYPE FILE FILES "${work}/${program}.desktop")
  file(INSTALL DESTINATION "${prefix}/share/icons/hicolor/scalable/apps" TYPE FILE
       FILES "${packaging}/icons/${program}.svg")
endforeach()

# A link "folder/name" under the link prefix to the same path under the
# installation folder.
function(vantrel_link folder name)
  file(MAKE_DIRECTORY "${work}/links/${folder}")
  file(CREATE_LINK "${prefix}/${folder}/${name}" "${work}/links/${folder}/${name}" SYMBOLIC)
  file(INSTALL DESTINATION "${link_prefix}/${folder}" TYPE FILE FILES "${work}/links/${folder}/${name}")
endfunction()

if(NOT link_prefix STREQUAL "" AND NOT link_prefix STREQUAL prefix)
  foreach(program IN LISTS VANTREL_INSTALLED_PROGRAMS)
    vantrel_link(bin "${program}")
  endforeach()
  foreach(program IN LISTS VANTREL_GUI_PROGRAMS)
    vantrel_link(share/applications "${program}.desktop")
    vantrel_link(share/icons/hicolor/scalable/apps "${program}.svg")
  endforeach()
  vantrel_link(share/man/man1 vantrel-cli.1)
endif()
file(REMOVE_RECURSE "${work}")
