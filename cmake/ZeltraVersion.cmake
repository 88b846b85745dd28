# The program's version has one source, the project version. Where there is no
# version resource (not Windows) the four numbers are compiled in.
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    set(ZELTRA_VERSION_${part} 0)
  else()
    set(ZELTRA_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(ZELTRA_VERSION_TEXT
    "${ZELTRA_VERSION_MAJOR}.${ZELTRA_VERSION_MINOR}.${ZELTRA_VERSION_PATCH}.${ZELTRA_VERSION_TWEAK}"
    CACHE INTERNAL "The program's version, four parts")

# Gives a program target its Windows version resource (product and file version
# from the project version, description "Program serwisowy") and, when one is
# named after the target, its icon. Does nothing elsewhere.
function(zeltra_add_version_resource target)
  if(WIN32)
    string(REPLACE "." "," ZELTRA_VERSION_COMMAS "${ZELTRA_VERSION_TEXT}")
    set(ZELTRA_RC_TARGET ${target})
    set(ZELTRA_RC_ICON "")
    if(ARGC GREATER 1)
      # The first icon of a program is the one Windows and Qt show for it.
      set(ZELTRA_RC_ICON "IDI_ICON1 ICON \"${ARGV1}\"")
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
  endif()
endfunction()

# Registers a GoogleTest program with CTest: each test on its own where the
# program can be run at build time, the whole program as one test when it is
# cross-compiled (it then runs under the emulator that the toolchain names).
function(zeltra_gtest target prefix)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${prefix}${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} TEST_PREFIX "${prefix}" DISCOVERY_TIMEOUT 30 ${ARGN})
  endif()
endfunction()
