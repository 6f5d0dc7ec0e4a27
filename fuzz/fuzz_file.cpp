#include "fuzz_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/platform.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "trackscrub-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

// The folder goes when the process ends normally.
struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
  }
} cleanup;

}  // namespace

std::wstring WriteInputFile(const uint8_t* data, size_t size, const char* name) {
  const std::filesystem::path path = Folder() / name;
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) std::abort();
  return platform::WideFromUtf8(path.string());
}

std::string ReadBack(const std::wstring& path) {
  std::ifstream in(platform::Utf8FromWide(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
