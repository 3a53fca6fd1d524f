# The Windows command line as a zip (cpack, or the "package" target): the
# program, the sample program folder made at build time next to it, and a
# short README. Unpacked, the folder is the program folder.
install(TARGETS vantrel-cli RUNTIME DESTINATION .)
# The sample sources and patch file are named by the product data, so the
# program folder is taken by pattern when the package is made.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ DESTINATION .
  FILES_MATCHING PATTERN "*.0" PATTERN "mendkit.patch")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vantrel-cli)
set(CPACK_PACKAGE_VENDOR Corvantis)
set(CPACK_PACKAGE_FILE_NAME vantrel-cli-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
