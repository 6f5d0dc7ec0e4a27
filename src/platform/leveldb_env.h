// The seam LevelDB reaches the disk through. LevelDB's own Windows environment
// opens files with the ANSI calls, which cannot name a profile folder outside the
// code page; on Windows the environment here does every file operation with the
// wide calls instead. Elsewhere it is LevelDB's default environment.
#pragma once

#include <string>

namespace leveldb {
class Env;
}

namespace platform {

// The environment to open a database on disk with. Lives as long as the program;
// never delete it.
leveldb::Env* LevelDbEnv();

// `path` (a seam path) as LevelDbEnv() takes it: UTF-8, resolved like every other
// path (on POSIX, case-insensitive components found on disk).
std::string PathForLevelDb(const std::wstring& path);

}  // namespace platform
