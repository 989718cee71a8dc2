include(GoogleTest)

# tessaly_add_test_folder(<name> SOURCES ... LIBS ... [QT] [LABELS ...])
#
# Builds tests/<name> into one GoogleTest executable `test_<name>` and registers
# every test case with CTest under the label <name>, and under LABELS too when
# given. QT marks a folder whose tests need a QApplication: they link the shared
# Qt test main and run on the `offscreen` platform, so they work without a
# display.
function(tessaly_add_test_folder name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;LABELS" ${ARGN})
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
  gtest_discover_tests(${target}
    TEST_PREFIX "${name}."
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${name}" TIMEOUT 120 ENVIRONMENT "${env}")
  if(ARG_LABELS)
    # A list does not survive gtest_discover_tests' PROPERTIES; the folder's
    # directory property adds the labels to every test in it.
    set_property(DIRECTORY APPEND PROPERTY LABELS ${ARG_LABELS})
  endif()
endfunction()
