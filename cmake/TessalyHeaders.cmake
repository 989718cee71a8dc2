# tessaly_expose_headers(<target> <folder> [SOURCE_DIR <dir>] [PRIVATE <header>...])
#
# Headers are named "<folder>/<header>.h" everywhere, so the include root of
# every library would be src/ and any target could reach any header of the
# tree. Instead each library stages the headers of its own folder (src/<folder>,
# or SOURCE_DIR, not its subfolders: a nested folder is a library of its own)
# as links under the build folder and exposes only that: a target sees the
# headers of the libraries it links, and nothing else, so the compiler holds
# the includes to the links that the layer check holds to src/layers.txt.
#
# PRIVATE headers are for the library's own sources; <target>_internals, an
# interface library, hands them to the library's white-box tests.
function(tessaly_expose_headers target folder)
  cmake_parse_arguments(ARG "" "SOURCE_DIR" "PRIVATE" ${ARGN})
  if(NOT ARG_SOURCE_DIR)
    set(ARG_SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  set(public_root "${PROJECT_BINARY_DIR}/include/${target}")
  set(private_root "${PROJECT_BINARY_DIR}/include/${target}_internals")
  file(REMOVE_RECURSE "${public_root}" "${private_root}")
  file(MAKE_DIRECTORY "${public_root}/${folder}" "${private_root}/${folder}")
  file(GLOB headers RELATIVE "${ARG_SOURCE_DIR}" CONFIGURE_DEPENDS "${ARG_SOURCE_DIR}/*.h")
  foreach(private IN LISTS ARG_PRIVATE)
    if(NOT private IN_LIST headers)
      message(FATAL_ERROR "${target}: no private header ${private} in ${ARG_SOURCE_DIR}")
    endif()
  endforeach()
  foreach(header IN LISTS headers)
    set(root "${public_root}")
    if(header IN_LIST ARG_PRIVATE)
      set(root "${private_root}")
    endif()
    file(CREATE_LINK "${ARG_SOURCE_DIR}/${header}" "${root}/${folder}/${header}" SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${public_root}")
  else()
    target_include_directories(${target} PUBLIC "${public_root}" PRIVATE "${private_root}")
  endif()
  add_library(${target}_internals INTERFACE)
  target_include_directories(${target}_internals INTERFACE "${private_root}")
  target_link_libraries(${target}_internals INTERFACE ${target})
endfunction()
