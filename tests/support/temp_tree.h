// A folder of its own for each test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

struct ListDownloadState;

class TempTree {
 public:
  TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;
  ~TempTree();

  const std::filesystem::path& root() const { return root_; }
  // The path of `relative` ("a/b.txt") below the root, as the seam takes paths.
  std::wstring Path(const std::string& relative = "") const;
  std::filesystem::path Native(const std::string& relative) const;

  // Writes `bytes` exactly, creating the folders on the way.
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void MakeDir(const std::string& relative) const;
  // Copies a file written by a real browser (tests/data) to `relative`.
  void CopyTestData(const std::string& name, const std::string& relative) const;

 private:
  std::filesystem::path root_;
};

// A temporary Windows user profile that the known folders point into while the
// object lives.
class TempProfile : public TempTree {
 public:
  TempProfile();
  ~TempProfile();

  // Relative paths of the known folders below the profile.
  static constexpr char kCookies[] = "AppData/Roaming/Microsoft/Windows/Cookies";
  static constexpr char kAppData[] = "AppData/Roaming";
  static constexpr char kLocalAppData[] = "AppData/Local";

  // Writes `text` as the downloaded copy of the tracker list at `address`, with
  // `state` beside it when given; returns the copy's path relative to the profile.
  std::string WriteListCopy(const std::wstring& address, const std::string& text,
                            const ListDownloadState* state = nullptr) const;
};
