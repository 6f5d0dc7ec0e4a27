// A listing of every entry below a folder, links and mount points not followed:
// what a clean must leave alone is compared before and after.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct ListedEntry {
  enum class Type { kFile, kFolder, kLink, kOther };
  Type type = Type::kOther;
  uintmax_t size = 0;
  uint64_t hash = 0;        // FNV-1a of a file's bytes
  std::string link_target;  // of a link

  bool operator==(const ListedEntry&) const = default;
};

// Relative path ("a/b.txt") -> entry.
using TreeListing = std::map<std::string, ListedEntry>;

TreeListing ListTree(const std::filesystem::path& root);

// The paths whose entries differ between the two listings, added and removed ones
// included, each with a word on how ("changed", "added", "removed").
std::vector<std::string> ChangedPaths(const TreeListing& before, const TreeListing& after);

// The paths of `changed` that lie outside every one of `allowed` (relative
// folders or files; a folder allows everything below it).
std::vector<std::string> OutsideOf(const std::vector<std::string>& changed,
                                   const std::vector<std::string>& allowed);
