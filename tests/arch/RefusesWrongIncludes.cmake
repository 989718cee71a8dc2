# cmake -DCHECK=<CheckLayers.cmake> -DTREE=<tree> -P RefusesWrongIncludes.cmake
#
# Runs the layer check on `wrong/`, a small tree with known faults (and its
# links.txt), and fails unless the check fails naming exactly these faults:
# each way of writing a forbidden include is caught, and the includes and
# links the tree allows, the standard library's and generated files are not
# reported.
cmake_minimum_required(VERSION 3.25)
file(REAL_PATH "${TREE}" TREE)
set(expected
    "extra: a folder the layer table does not know"
    "gfx/Forms.h:4: gfx may not include shell (\"../shell/Window.h\")"
    "gfx/Forms.h:5: gfx may not include shell (\"gfx/../shell/Window.h\")"
    "gfx/Forms.h:6: gfx may not include shell (<shell/Window.h>)"
    "gfx/Outside.h:4: gfx may not include a file outside <tree> (\"../../Elsewhere.h\")"
    "gfx/Wrong.h:5: gfx may not include shell (\"shell/Window.h\")"
    "links.txt: tessaly_gfx (gfx) may not link tessaly_shell (shell)"
    "platform/Registry.h:4: platform may not include platform/midi (\"midi/Device.h\")")

execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${TREE} -DLINKS=${TREE}/links.txt
                        -P "${CHECK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "The check passed a tree with wrong includes:\n${output}")
endif()

string(REPLACE ";" "," lines "${output}")
string(REPLACE "\n" ";" lines "${lines}")
set(reported "")
foreach(line IN LISTS lines)
  if(line MATCHES "^${TREE}/(.*)$")
    string(REPLACE "${TREE}" "<tree>" fault "${CMAKE_MATCH_1}")
    list(APPEND reported "${fault}")
  endif()
endforeach()

set(missing ${expected})
list(REMOVE_ITEM missing ${reported})
set(unexpected ${reported})
list(REMOVE_ITEM unexpected ${expected})
if(missing OR unexpected)
  list(JOIN missing "\n  " missing)
  list(JOIN unexpected "\n  " unexpected)
  message(FATAL_ERROR "Not reported:\n  ${missing}\nReported wrongly:\n  ${unexpected}\n"
                      "The check said:\n${output}")
endif()
list(LENGTH reported n)
message(STATUS "The check reported all ${n} faults of ${TREE}:\n${output}")
