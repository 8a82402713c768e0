# Labels the slow cases among the discovered GoogleTest tests, so that `ctest -LE slow`
# (scripts/test --quick) leaves them out.
set_tests_properties(
  BadInput.CellSizeOneRunsTheDefaultTown
  BadInput.CellSizeOneLinesToWork
  PROPERTIES LABELS slow)
