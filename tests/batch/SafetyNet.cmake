# End-to-end tests of whole batch runs against tallix-sim: bad input files, the fault matrix,
# the line trace. Included from tests/batch/CMakeLists.txt.
function(tallix_e2e_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tallix_batch tallix_test_support GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TALLIX_PATH="$<TARGET_FILE:tallix>")
  add_dependencies(${name} tallix)
endfunction()

tallix_e2e_test(batch_bad_input_tests BadInputTest.cpp)
gtest_discover_tests(batch_bad_input_tests)

tallix_e2e_test(batch_trace_tests LineTraceRunTest.cpp)
target_link_libraries(batch_trace_tests PRIVATE tallix_protocol)
gtest_discover_tests(batch_trace_tests)

# The fault rows run in seconds; rows whose printer stops answering wait out the protocol's
# time-outs (about 42 s each), and rows whose printer answers 400 ms late or later take 10 to
# 30 s: both are labelled slow.
tallix_e2e_test(batch_fault_tests FaultMatrixTest.cpp)
gtest_discover_tests(batch_fault_tests TEST_FILTER "-SlowRows/*:FaultMatrixBoundedSlow.*")
gtest_discover_tests(batch_fault_tests TEST_FILTER "SlowRows/*:FaultMatrixBoundedSlow.*"
  PROPERTIES LABELS slow TIMEOUT 300)

# 1,000 exchanges on a lossy line: about twelve minutes, as each lost ACK waits for a quiet line
# before the frame may go again. The longest tests carry a COST so that ctest starts them
# first and their waits overlap the rest of the suite.
tallix_e2e_test(batch_soak_tests SoakTest.cpp)
gtest_discover_tests(batch_soak_tests PROPERTIES LABELS slow TIMEOUT 900 COST 700)

# Runs one after another on one printer, against late, doubled, lost and false answers and a
# counter that resets or moves late. Each row is a ctest entry of its own, so the protocol's
# waits overlap; the rows on a printer 400 ms late or later, the garbage trials, the killed
# runs and the 150-line receipt take from half a minute to a few minutes and are slow.
tallix_e2e_test(batch_in_a_row_tests FaultMatrixInARowTest.cpp)
gtest_discover_tests(batch_in_a_row_tests TEST_FILTER "Rows/*" PROPERTIES TIMEOUT 300)
gtest_discover_tests(batch_in_a_row_tests TEST_FILTER "SlowRows/*:InARowDetect.*"
  PROPERTIES LABELS slow TIMEOUT 900)

# Command and preferences files that are FIFOs or never end.
tallix_e2e_test(batch_command_source_tests CommandSourceTest.cpp)
gtest_discover_tests(batch_command_source_tests)
