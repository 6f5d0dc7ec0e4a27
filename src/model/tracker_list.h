// Tracker lists: the domain lists people keep, read into lower-case host names.
//
// A list is 8-bit text, one entry per line, in any mix of the forms such lists
// come in, recognised line by line:
//  - a hosts file line: an address (0.0.0.0, 127.0.0.1, ::, ::1, any IPv4 or IPv6
//    address) followed by one or more host names;
//  - a domain alone on its line;
//  - a content-blocker network rule; only whole-domain rules count
//    ("||tracker.example^", optionally with "$third-party" or "$3p").
// Lines starting with "#" or "!" and blank lines are comments; any other "#" starts
// a comment at the end of a line, unless it begins the marker of a cosmetic rule
// ("example.com##.ad"). Everything else is skipped and counted by reason. A UTF-8
// byte-order mark that starts the text is not part of the first line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CTrackerList {
 public:
  // Why a line gave no domain.
  enum class Skip {
    kNotHostName,     // localhost, an address, a bare top-level domain, a character
                      // no host name has, a label or name too long
    kNarrowedRule,    // a content-blocker rule for less than a whole domain: a path,
                      // a wildcard, options other than third-party
    kException,       // a content-blocker exception ("@@...")
    kElementHiding,   // a content-blocker element-hiding rule ("##", "#@#", "#?#")
    kDuplicate,       // a domain the list already holds
    kCount
  };
  static constexpr size_t kSkipReasons = static_cast<size_t>(Skip::kCount);

  CTrackerList() = default;
  // Reads the list's text; `name` is what the user knows it by (its file name or
  // address).
  CTrackerList(std::wstring name, std::string_view text);

  const std::wstring& name() const { return m_strName; }
  // The domains taken, lower-case, in the order of the text, each once.
  size_t size() const { return m_offsets.size(); }
  bool empty() const { return m_offsets.empty(); }
  std::string_view domain(size_t index) const;
  // The index of the domain `lower` (lower case, as domain() gives it), if the list
  // holds it.
  std::optional<size_t> Find(std::string_view lower) const;
  // The same, given the domain's hash_slots::Hash.
  std::optional<size_t> Find(std::string_view lower, uint64_t hash) const;
  // Entries skipped for `reason`: lines, or the names of a hosts file line one by one.
  size_t skipped(Skip reason) const { return m_skipped[static_cast<size_t>(reason)]; }

  // The host name `text` written in lower case into *name; false when it is not a
  // host name of at least two labels (letters, digits, "-" and "_", labels of 1 to
  // 63 characters, at most 253 in all, a top-level label not all digits).
  static bool NormalizeHostName(std::string_view text, std::string* name);

 private:
  void Take(std::string_view host);
  void Read(std::string_view line);

  std::wstring m_strName;
  std::string m_domains;            // every domain, one after the other
  std::vector<uint32_t> m_offsets;  // where each domain starts; it ends where the next starts
  std::vector<uint32_t> m_slots;    // the domains by hash (hash_slots)
  std::array<size_t, kSkipReasons> m_skipped{};
};

// Why a list file gave no list.
enum class ListFileError {
  kNone,
  kMissing,     // nothing by that name
  kLink,        // a link, junction or other reparse point: not followed
  kNotRegular,  // a folder, pipe or device
  kTooLarge,    // more than kMaxListFileBytes
  kUnreadable,  // it could not be read
  kUtf16,       // UTF-16 text (a byte-order mark, or NUL bytes between characters)
  kNoDomains,   // read, but no line gave a domain
};

inline constexpr size_t kMaxListFileBytes = size_t{64} << 20;

// Reads the list file `path` through the platform seam (a regular file only, never
// a link, at most kMaxListFileBytes) into *list, named `name`. On kNoDomains *list
// holds what was read (its skip counts); on any other error it is left empty.
ListFileError LoadTrackerList(const std::wstring& path, const std::wstring& name, CTrackerList* list);

// The reason as the user reads it, after the file's name: "is a link", ...
std::wstring ListFileErrorText(ListFileError error);
