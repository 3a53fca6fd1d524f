# Run at build time (cmake -P): writes the revision of the source being built
# into a C++ file, replacing the file only when the revision changed, so that
# a build recompiles it only then.
#   SOURCE_DIR  the source tree
#   OUTPUT      the file to write
#   REVISION    a revision given by the builder (a source tree without git)
set(revision "${REVISION}")
if(revision STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(
      COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --always --dirty --abbrev=10
      OUTPUT_VARIABLE revision
      OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      set(revision "")
    endif()
  endif()
endif()
if(revision STREQUAL "")
  set(revision "unknown")
endif()

file(WRITE "${OUTPUT}.new"
  "// Written by cmake/BuildRevision.cmake at build time.\n"
  "#include \"cli/BuildInfo.h\"\n\n"
  "const char* vantrel::BuildRevision() { return \"${revision}\"; }\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
