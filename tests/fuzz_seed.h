// Inputs that tests build are also the fuzzers' seeds: when TS_FUZZ_SEED_DIR is
// set, SaveSeed writes each one to <dir>/<target>/<name>.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline void SaveSeed(const std::string& target, const std::string& name, const std::string& bytes) {
  const char* dir = std::getenv("TS_FUZZ_SEED_DIR");
  if (dir == nullptr || *dir == '\0') return;
  const std::filesystem::path folder = std::filesystem::path(dir) / target;
  std::filesystem::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
