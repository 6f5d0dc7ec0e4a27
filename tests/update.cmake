# The version check: reply rules everywhere, the worker under Wine against a
# throw-away HTTP server on 127.0.0.1.
ts_gtest(version_reply_tests version_reply_test.cpp LIBS ts_update)
if(WIN32)
  ts_gtest(version_check_tests version_check_test.cpp LIBS ts_update_worker)
  find_program(TS_PYTHON3 python3 REQUIRED)
  set_target_properties(version_check_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "${TS_PYTHON3};${CMAKE_CURRENT_SOURCE_DIR}/support/http_fixture.py;${PROJECT_VERSION};${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()
# The tracker lists' download, against the same server.
if(WIN32)
  ts_gtest(list_download_tests list_download_test.cpp LIBS ts_list_download)
  set_target_properties(list_download_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "${TS_PYTHON3};${CMAKE_CURRENT_SOURCE_DIR}/support/http_fixture.py;${PROJECT_VERSION};${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()
