# The Chromium family's local storage (LevelDB). A running browser's lock on a
# database is held by tests/sqlite.cmake's helper.
ts_gtest(local_storage_tests chromium_storage_test.cpp LIBS ts_sqlite_testsupport)
add_dependencies(local_storage_tests sqlite_lock_holder)
