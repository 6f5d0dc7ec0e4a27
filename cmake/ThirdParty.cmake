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

# LevelDB with Snappy (the Chromium family's local storage). Natively Debian's
# libleveldb-dev and libsnappy-dev; for Windows the sources of the same versions
# (scripts/fetch-leveldb), built here. LevelDB's own test for Snappy links a C
# program against the C++ library and fails under the cross compiler, leaving
# Snappy out (every Chromium table would then fail to read): it is told instead.
if(WIN32)
  set(TS_LEVELDB_DIR ${PROJECT_SOURCE_DIR}/third_party/leveldb)
  set(TS_SNAPPY_DIR ${PROJECT_SOURCE_DIR}/third_party/snappy)
  if(NOT EXISTS ${TS_LEVELDB_DIR}/include/leveldb/db.h OR NOT EXISTS ${TS_SNAPPY_DIR}/snappy.h)
    message(FATAL_ERROR "LevelDB or Snappy sources missing: run scripts/setup first")
  endif()
  set(SNAPPY_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  set(SNAPPY_BUILD_BENCHMARKS OFF CACHE BOOL "" FORCE)
  set(SNAPPY_INSTALL OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TS_SNAPPY_DIR} ${CMAKE_BINARY_DIR}/_deps/snappy EXCLUDE_FROM_ALL SYSTEM)
  set(HAVE_SNAPPY 1 CACHE INTERNAL "")
  set(HAVE_CRC32C 0 CACHE INTERNAL "")
  set(HAVE_TCMALLOC 0 CACHE INTERNAL "")
  set(LEVELDB_BUILD_TESTS OFF CACHE BOOL "" FORCE)
  set(LEVELDB_BUILD_BENCHMARKS OFF CACHE BOOL "" FORCE)
  set(LEVELDB_INSTALL OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TS_LEVELDB_DIR} ${CMAKE_BINARY_DIR}/_deps/leveldb EXCLUDE_FROM_ALL SYSTEM)
  # Our environment derives from its classes: LevelDB is built with run-time type
  # information here, as Debian builds it.
  target_compile_options(leveldb PRIVATE -frtti -O2 -g0 -w)
  target_compile_options(snappy PRIVATE -O2 -g0 -w)
  add_library(ts_leveldb INTERFACE)
  target_link_libraries(ts_leveldb INTERFACE leveldb)
  # The in-memory environment's header where Debian installs it.
  set(TS_LEVELDB_HEADERS ${CMAKE_BINARY_DIR}/leveldb_include)
  file(COPY ${TS_LEVELDB_DIR}/helpers/memenv/memenv.h
       DESTINATION ${TS_LEVELDB_HEADERS}/leveldb/helpers)
  target_include_directories(ts_leveldb SYSTEM INTERFACE ${TS_LEVELDB_HEADERS})
else()
  find_package(leveldb REQUIRED)
  add_library(ts_leveldb INTERFACE)
  target_link_libraries(ts_leveldb INTERFACE leveldb::leveldb)
endif()
