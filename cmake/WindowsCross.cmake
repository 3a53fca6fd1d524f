# What the Windows cross build takes from this Linux machine. Debian ships the
# header-only CLI11 and the GoogleTest sources, not Windows libraries: the
# headers are offered through a folder of their own (adding /usr/include to a
# cross compile would put the Linux C library's headers in front of the
# target's), and GoogleTest is built from source with the cross compiler.

find_path(VANTREL_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(VANTREL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VANTREL_HOST_HEADERS})
file(CREATE_LINK ${VANTREL_CLI11_INCLUDE_DIR}/CLI ${VANTREL_HOST_HEADERS}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${VANTREL_HOST_HEADERS})

if(VANTREL_TESTS)
  set(VANTREL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Its CMake files name the targets GTest::gtest, GTest::gmock … as the installed package does.
  add_subdirectory(${VANTREL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Programs of this build run under the emulator (Wine) while building and
# testing. Its prefix is made once, before any of them starts, so that two
# programs started together do not both set up a fresh prefix.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(VANTREL_WINE_PREFIX_STAMP ${CMAKE_BINARY_DIR}/wineprefix.stamp)
  add_custom_command(OUTPUT ${VANTREL_WINE_PREFIX_STAMP}
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init
    COMMAND ${CMAKE_COMMAND} -E touch ${VANTREL_WINE_PREFIX_STAMP}
    COMMENT "Preparing the Wine prefix"
    VERBATIM)
  add_custom_target(vantrel_wine_prefix DEPENDS ${VANTREL_WINE_PREFIX_STAMP})
endif()

# Called once every target is known: the build-time generators wait for the prefix.
function(vantrel_run_after_wine_prefix)
  if(NOT TARGET vantrel_wine_prefix)
    return()
  endif()
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      add_dependencies(${target} vantrel_wine_prefix)
    endif()
  endforeach()
endfunction()
