#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "app/run_filter.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

TempTree::TempTree() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::ostringstream name;
  name << "trackscrub-test-" << stamp << "-" << counter++;
  root_ = fs::temp_directory_path() / name.str();
  fs::create_directories(root_);
}

TempTree::~TempTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path TempTree::Native(const std::string& relative) const {
  return relative.empty() ? root_
                         : root_ / fs::path(std::u8string(relative.begin(), relative.end()));
}

std::wstring TempTree::Path(const std::string& relative) const {
#ifdef _WIN32
  std::wstring path = Native(relative).wstring();
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
#else
  return platform::WideFromUtf8(Native(relative).string());
#endif
}

void TempTree::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path path = Native(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string TempTree::Read(const std::string& relative) const {
  std::ifstream in(Native(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempTree::Exists(const std::string& relative) const { return fs::exists(Native(relative)); }

void TempTree::MakeDir(const std::string& relative) const { fs::create_directories(Native(relative)); }

void TempTree::CopyTestData(const std::string& name, const std::string& relative) const {
  const fs::path source = fs::path(TS_TEST_DATA_DIR) / name;
  const fs::path target = Native(relative);
  fs::create_directories(target.parent_path());
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add);
}

TempProfile::TempProfile() { platform::SetProfileRoot(Path()); }

TempProfile::~TempProfile() { platform::SetProfileRoot(L""); }

std::string TempProfile::WriteListCopy(const std::wstring& address, const std::string& text,
                                       const ListDownloadState* state) const {
  std::wstring copy;
  if (!ListCopyPath(address, &copy)) {
    ADD_FAILURE() << "no copy for " << address;
    return "";
  }
  std::string relative = platform::Utf8FromWide(copy.substr(Path().size() + 1));
  std::replace(relative.begin(), relative.end(), '\\', '/');
  Write(relative, text);
  if (state != nullptr) {
    EXPECT_TRUE(WriteListDownloadState(copy, *state));
    EXPECT_EQ(ReadListDownloadState(copy), *state);
  }
  return relative;
}
