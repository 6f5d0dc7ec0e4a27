# The Windows program's windows, driven under Wine.
if(WIN32)
  add_executable(ui_window_host WIN32 ui_window_host.cpp)
  target_link_libraries(ui_window_host PRIVATE ts_warnings)
  target_link_options(ui_window_host PRIVATE -municode)

  ts_gtest(ui_tests
    ui_support.cpp
    ui_auto_test.cpp
    ui_browser_test.cpp
    ui_config_test.cpp
    ui_details_test.cpp
    ui_dialog_test.cpp
    ui_dpi_test.cpp
    ui_intro_test.cpp
    ui_program_test.cpp
    ${TS_DIALOG_RESOURCES}
    LIBS ts_ui ts_sqlite_testsupport version)
  # The resource tests read the program of the same build; the automatic run's
  # tests hold databases with the lock helper.
  add_dependencies(ui_tests ui_window_host trackscrub sqlite_lock_holder)
  # The main window's version check asks a throw-away server on 127.0.0.1.
  find_program(TS_PYTHON3 python3 REQUIRED)
  set_target_properties(ui_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "${TS_PYTHON3};${CMAKE_CURRENT_SOURCE_DIR}/support/http_fixture.py;${PROJECT_VERSION};${CMAKE_CROSSCOMPILING_EMULATOR}")

  # Wine's default DPI is 96 (cmake/wine-run.sh); the tests check that they run at it.
  set_tests_properties(ui_tests PROPERTIES ENVIRONMENT "TS_TEST_DPI=96")
  # The same tests at 150 % display scaling (144 DPI): a Wine prefix and server of
  # their own, so that both runs can go side by side.
  set(dpi144 "TS_WINEPREFIX=${PROJECT_SOURCE_DIR}/out/wineprefix-144dpi;TS_WINE_DPI=144")
  add_test(NAME wine_init_144dpi COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --init)
  add_test(NAME wine_shutdown_144dpi COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --shutdown)
  set_tests_properties(wine_init_144dpi PROPERTIES FIXTURES_SETUP wine144 TIMEOUT 300
    ENVIRONMENT "${dpi144}")
  set_tests_properties(wine_shutdown_144dpi PROPERTIES FIXTURES_CLEANUP wine144
    ENVIRONMENT "${dpi144}")
  add_test(NAME ui_tests_144dpi COMMAND ui_tests)
  # A report folder in GTEST_OUTPUT ("xml:<folder>\") gets this run's report under a
  # name of its own, beside the 96-DPI run's ui_tests.xml.
  set_tests_properties(ui_tests_144dpi PROPERTIES ENVIRONMENT_MODIFICATION
    "GTEST_OUTPUT=string_append:ui_tests_144dpi.xml")
  set_tests_properties(ui_tests_144dpi PROPERTIES FIXTURES_REQUIRED wine144 TIMEOUT 300
    ENVIRONMENT "${dpi144};TS_TEST_DPI=144")
endif()

# Pictures of the windows (scripts/screenshots), not a test.
if(WIN32)
  add_executable(ui_shots WIN32 ui_shots.cpp ${TS_DIALOG_RESOURCES})
  target_link_libraries(ui_shots PRIVATE ts_ui ts_warnings)
  target_link_options(ui_shots PRIVATE -municode)
endif()
