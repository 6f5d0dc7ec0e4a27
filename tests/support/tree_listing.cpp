#include "support/tree_listing.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

uint64_t HashFile(const fs::path& path) {
  uint64_t hash = 1469598103934665603ULL;
  std::ifstream in(path, std::ios::binary);
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
    }
  }
  return hash;
}

std::string Relative(const fs::path& path, const fs::path& root) {
  const std::u8string text = path.lexically_relative(root).generic_u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TreeListing ListTree(const fs::path& root) {
  TreeListing listing;
  std::error_code error;
  // The iterator does not follow links to folders; mount points are listed as the
  // folders they are, with what the mount shows.
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    ListedEntry entry;
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      entry.type = ListedEntry::Type::kLink;
      const std::u8string target = fs::read_symlink(it->path(), error).generic_u8string();
      entry.link_target.assign(target.begin(), target.end());
      error.clear();
    } else if (fs::is_directory(status)) {
      entry.type = ListedEntry::Type::kFolder;
    } else if (fs::is_regular_file(status)) {
      entry.type = ListedEntry::Type::kFile;
      entry.size = it->file_size(error);
      entry.hash = HashFile(it->path());
      error.clear();
    }
    listing[Relative(it->path(), root)] = entry;
  }
  return listing;
}

std::vector<std::string> ChangedPaths(const TreeListing& before, const TreeListing& after) {
  std::vector<std::string> changed;
  for (const auto& [path, entry] : before) {
    const auto now = after.find(path);
    if (now == after.end()) {
      changed.push_back(path + " removed");
    } else if (!(now->second == entry)) {
      changed.push_back(path + " changed");
    }
  }
  for (const auto& [path, entry] : after) {
    if (before.count(path) == 0) changed.push_back(path + " added");
  }
  return changed;
}

std::vector<std::string> OutsideOf(const std::vector<std::string>& changed,
                                   const std::vector<std::string>& allowed) {
  std::vector<std::string> outside;
  for (const std::string& line : changed) {
    const std::string path = line.substr(0, line.rfind(' '));
    bool inside = false;
    for (const std::string& folder : allowed) {
      if (path == folder || path.rfind(folder + "/", 0) == 0) inside = true;
    }
    if (!inside) outside.push_back(line);
  }
  return outside;
}
