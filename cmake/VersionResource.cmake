# The program's version numbers: parsed here, once for the build and once for each other
# version stamped, and stamped into Windows executables as a VERSIONINFO resource
# (cmake/version.rc.in).
#   velmora_parse_version(a.b.c.d PREFIX)
# Sets PREFIX_MAJOR, PREFIX_MINOR, PREFIX_PATCH and PREFIX_TWEAK in the caller: four numbers of
# 0 to 65535 (the words of a version record), else the configuration fails.
#   velmora_add_version_resource(target [VERSION a.b.c.d] [ORIGINAL_FILENAME name])
# Without VERSION the build's version is used (VELMORA_VERSION_MAJOR/MINOR/PATCH/TWEAK, parsed
# from VELMORA_VERSION); ORIGINAL_FILENAME defaults to "Ostrada.exe". Does nothing natively.
if(WIN32)
  enable_language(RC)
endif()

function(velmora_parse_version version prefix)
  string(REPLACE "." ";" parts "${version}")
  list(LENGTH parts count)
  if(NOT count EQUAL 4)
    message(FATAL_ERROR "A version needs four numbers, got '${version}'")
  endif()
  foreach(part MAJOR MINOR PATCH TWEAK)
    list(POP_FRONT parts number)
    if(NOT number MATCHES "^[0-9]+$" OR number GREATER 65535)
      message(FATAL_ERROR "Version '${version}': each number must be 0 to 65535, got '${number}'")
    endif()
    set(${prefix}_${part} ${number} PARENT_SCOPE)
  endforeach()
endfunction()

function(velmora_add_version_resource target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(V "" "VERSION;ORIGINAL_FILENAME" "" ${ARGN})
  if(V_VERSION)
    velmora_parse_version("${V_VERSION}" VELMORA_VERSION)
  endif()
  set(VELMORA_ORIGINAL_FILENAME "Ostrada.exe")
  if(V_ORIGINAL_FILENAME)
    set(VELMORA_ORIGINAL_FILENAME "${V_ORIGINAL_FILENAME}")
  endif()
  get_filename_component(VELMORA_INTERNAL_NAME "${VELMORA_ORIGINAL_FILENAME}" NAME_WE)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
