# Safari, Flash and Internet Explorer page storage, and the mapped file they read.
ts_gtest(mapped_file_tests mapped_file_test.cpp)
ts_gtest(flash_tests flash_test.cpp)
ts_gtest(safari_cookie_tests safari_cookies_test.cpp)
ts_gtest(ie_storage_tests ie_storage_test.cpp)
ts_gtest(safari_storage_tests safari_storage_test.cpp)
