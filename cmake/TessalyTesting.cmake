include(GoogleTest)

# tessaly_add_test_folder(<name> SOURCES ... LIBS ... [QT] [LABELS ...]
#                         [SLOW <Suite.Test> ...] [LOCK <resource>])
#
# Builds tests/<name> into one GoogleTest executable `test_<name>` and registers
# every test case with CTest under the label <name>, and under LABELS too when
# given. QT marks a folder whose tests need a QApplication: they link the shared
# Qt test main and run on the `offscreen` platform, so they work without a
# display. SLOW names tests (without the folder prefix) that take seconds:
# they get the label `slow` too, so that `ctest -LE slow` leaves them out.
# LOCK names a resource the folder's tests share with other folders (the JACK
# server's port list): CTest never runs two tests holding it at once.
function(tessaly_add_test_folder name)
  cmake_parse_arguments(ARG "QT" "LOCK" "SOURCES;LIBS;LABELS;SLOW" ${ARGN})
  set(target test_${name})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} tessaly_warnings GTest::gmock)
  set(env "")
  if(ARG_QT)
    target_link_libraries(${target} PRIVATE tessaly_qt_test_main Qt6::Test)
    set(env "QT_QPA_PLATFORM=offscreen")
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  # An empty value would vanish from the list and shift the pairs after it.
  set(properties LABELS "${name}" TIMEOUT 120)
  if(env)
    list(APPEND properties ENVIRONMENT "${env}")
  endif()
  if(ARG_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_LOCK}")
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${name}."
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
  if(ARG_LABELS)
    # A list does not survive gtest_discover_tests' PROPERTIES; the folder's
    # directory property adds the labels to every test in it.
    set_property(DIRECTORY APPEND PROPERTY LABELS ${ARG_LABELS})
  endif()
  if(ARG_SLOW)
    # The tests are known only once discovered; CTest reads this file after
    # the discovered list and labels the slow ones (with every label they
    # had, as set_tests_properties replaces the list).
    set(slow_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_slow.cmake")
    set(lines "")
    set(labels ${name} ${ARG_LABELS} slow)
    string(REPLACE ";" "\\;" labels "${labels}")
    foreach(test IN LISTS ARG_SLOW)
      string(APPEND lines
             "set_tests_properties(\"${name}.${test}\" PROPERTIES LABELS \"${labels}\")\n")
    endforeach()
    file(WRITE "${slow_file}" "${lines}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${slow_file}")
  endif()
endfunction()
