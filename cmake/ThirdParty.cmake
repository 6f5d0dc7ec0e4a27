# SQLite (the amalgamation that ships, fetched by scripts/setup), GoogleTest, and
# the header-only libraries of the console front end.

set(TS_SQLITE_DIR ${PROJECT_SOURCE_DIR}/third_party/sqlite)
if(NOT EXISTS ${TS_SQLITE_DIR}/sqlite3.c)
  message(FATAL_ERROR "SQLite amalgamation missing: run scripts/setup first")
endif()
add_library(ts_sqlite3 STATIC ${TS_SQLITE_DIR}/sqlite3.c)
target_include_directories(ts_sqlite3 SYSTEM PUBLIC ${TS_SQLITE_DIR})
target_compile_definitions(ts_sqlite3 PUBLIC
  SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_DEPRECATED
  SQLITE_OMIT_SHARED_CACHE SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_DQS=0)
if(WIN32)
  target_compile_definitions(ts_sqlite3 PUBLIC SQLITE_WIN32_MALLOC)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(ts_sqlite3 PUBLIC Threads::Threads ${CMAKE_DL_LIBS} m)
endif()
# Not ours to instrument or warn about; -g0 keeps the Windows build quick.
target_compile_options(ts_sqlite3 PRIVATE -O2 -g0 -w)
if(TS_SANITIZE AND NOT WIN32)
  target_compile_options(ts_sqlite3 PRIVATE -fno-sanitize=all)
endif()
add_library(SQLite::SQLite3 ALIAS ts_sqlite3)

# Header-only libraries from Debian (JSON for the stores and the console front end,
# argument parsing for the latter), copied so that the cross build does not see the
# host's /usr/include.
set(TS_HEADERS_DIR ${CMAKE_BINARY_DIR}/third_party_include)
file(COPY /usr/include/cxxopts.hpp /usr/include/nlohmann DESTINATION ${TS_HEADERS_DIR})
add_library(ts_json_headers INTERFACE)
target_include_directories(ts_json_headers SYSTEM INTERFACE ${TS_HEADERS_DIR})

if(PROJECT_IS_TOP_LEVEL)
  if(WIN32)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()
