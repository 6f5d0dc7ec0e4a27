# SQLite access and the stores built on it: Firefox, Chrome and the Chromium
# family.

# A separate process that holds database locks for the tests (sqlite_support.h).
add_executable(sqlite_lock_holder sqlite_lock_holder.cpp)
target_link_libraries(sqlite_lock_holder PRIVATE SQLite::SQLite3 ts_platform ts_warnings)
if(WIN32)
  target_link_options(sqlite_lock_holder PRIVATE -municode)
endif()

add_library(ts_sqlite_testsupport STATIC sqlite_support.cpp)
target_link_libraries(ts_sqlite_testsupport PUBLIC ts_testsupport PRIVATE ts_warnings)

ts_gtest(sqlite_tests sqlite_test.cpp LIBS ts_sqlite_testsupport)
ts_gtest(firefox_tests firefox_test.cpp LIBS ts_sqlite_testsupport)
ts_gtest(chrome_tests chrome_test.cpp LIBS ts_sqlite_testsupport)
ts_gtest(clean_count_tests clean_counts_test.cpp LIBS ts_sqlite_testsupport)
ts_gtest(chromium_tests chromium_test.cpp LIBS ts_sqlite_testsupport)
ts_gtest(firefox_today_tests firefox_today_test.cpp LIBS ts_sqlite_testsupport)
# What a clean leaves on disk, and databases a running browser holds.
ts_gtest(database_clean_tests database_clean_test.cpp LIBS ts_sqlite_testsupport)
# The tests start the helper from their own folder.
foreach(t sqlite_tests firefox_tests chrome_tests chromium_tests database_clean_tests cli_tests)
  add_dependencies(${t} sqlite_lock_holder)
endforeach()
# Profiles built to mislead, over every store.
ts_gtest(hostile_tests hostile_profile_test.cpp LIBS ts_sqlite_testsupport)
