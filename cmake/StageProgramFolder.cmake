# Run at build time (cmake -P): assembles the program folder an installation
# carries: the sample image sources and patch file made at build time, and the
# binary image files the export commands make from them, so that an installed
# program finds everything it reads beside itself.
#   BIN_DIR    the build's program folder
#   STAGE_DIR  the folder to fill (emptied first)
#   CLI        the vantrel-cli that makes the binary image files
file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")
file(GLOB sources "${BIN_DIR}/*.0")
file(COPY ${sources} "${BIN_DIR}/mendkit.patch" DESTINATION "${STAGE_DIR}")
execute_process(
  COMMAND "${CLI}" --folder "${STAGE_DIR}" export all
  RESULT_VARIABLE status
  OUTPUT_QUIET
  ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Making the binary image files failed (${status}): ${errors}")
endif()
