// LevelDB's own environment: POSIX paths are bytes, so it names every folder.
#include <leveldb/env.h>

#include "platform/leveldb_env.h"
#include "platform/platform.h"

namespace platform {

leveldb::Env* LevelDbEnv() { return leveldb::Env::Default(); }

std::string PathForLevelDb(const std::wstring& path) { return PathForSqlite(path); }

}  // namespace platform
