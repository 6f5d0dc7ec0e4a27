# Stores that keep a site's storage as folders of its own: the Chromium family's
# IndexedDB and Firefox's per-site storage.
ts_gtest(site_storage_tests site_storage_test.cpp LIBS ts_sqlite_testsupport)
add_dependencies(site_storage_tests sqlite_lock_holder)
