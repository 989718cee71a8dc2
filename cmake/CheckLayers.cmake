# cmake -DSOURCE_DIR=<src> [-DLAYERS=<table>] [-DLINKS=<file>] -P CheckLayers.cmake
#
# Fails, naming file, line and arrow, when a file of SOURCE_DIR includes a
# header of a folder its own folder may not include by the table
# (SOURCE_DIR/layers.txt unless LAYERS names another). An include is looked
# up as the compiler does, with SOURCE_DIR as the include root: a quoted one
# beside the including file first, then under the root; an angled one under
# the root only (one found nowhere there is a system or library header).
# So "../shell/x.h", "gfx/../shell/x.h" and <shell/x.h> count as shell. A
# header outside SOURCE_DIR, and a folder of SOURCE_DIR that the table does
# not know, fail too: a new folder gets its line before its first include.
#
# LINKS names the build's link edges between the libraries of SOURCE_DIR,
# one a line, "<target> <a source of it> <linked target> <a source of that>"
# (the sources relative to SOURCE_DIR; tests/arch writes the file when the
# build is configured). A target may link only targets of its own folder
# and of the folders its folder may include.
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()
file(REAL_PATH "${SOURCE_DIR}" SOURCE_DIR)
if(NOT LAYERS)
  set(LAYERS "${SOURCE_DIR}/layers.txt")
endif()

file(STRINGS "${LAYERS}" table_lines)
set(folders "")
foreach(line IN LISTS table_lines)
  if(line MATCHES "^[ \t]*#" OR line MATCHES "^[ \t]*$")
    continue()
  endif()
  if(NOT line MATCHES "^([a-z_/]+):(.*)$")
    message(FATAL_ERROR "${LAYERS}: cannot read the line \"${line}\"")
  endif()
  set(folder "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" allowed)
  separate_arguments(allowed UNIX_COMMAND "${allowed}")
  list(APPEND folders "${folder}")
  string(MAKE_C_IDENTIFIER "${folder}" id)
  set("allowed_${id}" ${allowed})
endforeach()

# The longest folder of the table that `path` lies in, or "" for none.
function(layer_of path out)
  set(best "")
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" n)
    string(LENGTH "${best}" b)
    if((path STREQUAL folder OR path MATCHES "^${folder}/") AND n GREATER b)
      set(best "${folder}")
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The header that `included` (written in `source`, with the opening `mark`,
# " or <) names, relative to SOURCE_DIR; "" for a header not of SOURCE_DIR
# (the standard library, Qt, a generated file) and "<outside>" for one that
# the path leads out of SOURCE_DIR to.
function(resolve source included mark out)
  cmake_path(GET source PARENT_PATH beside)
  if(mark STREQUAL "\"" AND EXISTS "${SOURCE_DIR}/${beside}/${included}")
    set(path "${SOURCE_DIR}/${beside}/${included}")
  elseif(EXISTS "${SOURCE_DIR}/${included}")
    set(path "${SOURCE_DIR}/${included}")
  elseif(mark STREQUAL "\"")
    # Found nowhere (a generated file, a typo the compiler reports): by name.
    set(path "${SOURCE_DIR}/${included}")
  else()
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  cmake_path(NORMAL_PATH path)
  cmake_path(IS_PREFIX SOURCE_DIR "${path}" NORMALIZE inside)
  if(NOT inside)
    set(${out} "<outside>" PARENT_SCOPE)
    return()
  endif()
  cmake_path(RELATIVE_PATH path BASE_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE relative)
  set(${out} "${relative}" PARENT_SCOPE)
endfunction()

set(faults "")
file(GLOB children RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(child IN LISTS children)
  if(IS_DIRECTORY "${SOURCE_DIR}/${child}" AND NOT child IN_LIST folders)
    list(APPEND faults "${SOURCE_DIR}/${child}: a folder the layer table does not know")
  endif()
endforeach()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT sources)
foreach(source IN LISTS sources)
  layer_of("${source}" own)
  if(own STREQUAL "")
    continue()
  endif()
  string(MAKE_C_IDENTIFIER "${own}" own_id)
  # Lines as a list; a bracket or semicolon of the code (an unbalanced "[" in
  # a comment) would otherwise merge lines and hide the includes after it.
  file(READ "${SOURCE_DIR}/${source}" text)
  string(REGEX REPLACE "[][;\\\r]" " " text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^\">]+)[\">]")
      continue()
    endif()
    set(included "${CMAKE_MATCH_2}")
    if(CMAKE_MATCH_1 STREQUAL "<")
      set(written "<${included}>")
    else()
      set(written "\"${included}\"")
    endif()
    resolve("${source}" "${included}" "${CMAKE_MATCH_1}" header)
    if(header STREQUAL "")
      continue()
    endif()
    if(header STREQUAL "<outside>")
      list(APPEND faults
           "${SOURCE_DIR}/${source}:${number}: ${own} may not include a file outside ${SOURCE_DIR} (${written})")
      continue()
    endif()
    layer_of("${header}" target)
    if(target STREQUAL "" OR target STREQUAL own)
      continue()
    endif()
    if(NOT target IN_LIST "allowed_${own_id}")
      list(APPEND faults
           "${SOURCE_DIR}/${source}:${number}: ${own} may not include ${target} (${written})")
    endif()
  endforeach()
endforeach()

set(links 0)
if(LINKS)
  file(STRINGS "${LINKS}" edges)
  foreach(edge IN LISTS edges)
    if(edge MATCHES "^[ \t]*#" OR edge MATCHES "^[ \t]*$")
      continue()
    endif()
    separate_arguments(edge UNIX_COMMAND "${edge}")
    list(LENGTH edge n)
    if(NOT n EQUAL 4)
      message(FATAL_ERROR "${LINKS}: cannot read the line \"${edge}\"")
    endif()
    list(GET edge 0 from)
    list(GET edge 1 from_source)
    list(GET edge 2 to)
    list(GET edge 3 to_source)
    layer_of("${from_source}" own)
    layer_of("${to_source}" target)
    math(EXPR links "${links} + 1")
    if(own STREQUAL "" OR target STREQUAL "" OR target STREQUAL own)
      continue()
    endif()
    string(MAKE_C_IDENTIFIER "${own}" own_id)
    if(NOT target IN_LIST "allowed_${own_id}")
      list(APPEND faults "${LINKS}: ${from} (${own}) may not link ${to} (${target})")
    endif()
  endforeach()
  if(links EQUAL 0)
    list(APPEND faults "${LINKS}: no link between the libraries of ${SOURCE_DIR}")
  endif()
endif()

if(faults)
  # One fault a line, unwrapped, for editors and the test's pattern.
  foreach(fault IN LISTS faults)
    message(NOTICE "${fault}")
  endforeach()
  list(LENGTH faults n)
  message(FATAL_ERROR "${n} includes or links against the layers of ${LAYERS}")
endif()
list(LENGTH sources checked)
message(STATUS "Layers hold: ${checked} files and ${links} links checked against ${LAYERS}")
