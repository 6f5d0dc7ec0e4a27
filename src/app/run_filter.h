// The filter of one run: the user's patterns, the tracker lists named in the
// settings (read from disk, never from the network) and the keep list, with a
// report on every list for the front ends to show.
//
// Settings, next to the others under HKEY_CURRENT_USER\Software\Trackscrub:
//  - "TrackerLists" (REG_SZ): the lists, one per line (line feeds), each the full
//    path of a list file or the address of a list the program downloads. Only the
//    path or address is stored; a list's contents stay in its file.
//  - "NeverClean" (REG_SZ): the keep list, one site per line, read by the rules
//    of a tracker list.
// A list from an address is read from its downloaded copy,
// <LocalAppData>\Trackscrub\Lists\<host>-<hash>.txt, with the state of its last
// download beside it (the copy's name + ".state").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/filter.h"
#include "model/tracker_list.h"

inline constexpr wchar_t kValueTrackerLists[] = L"TrackerLists";
inline constexpr wchar_t kValueNeverClean[] = L"NeverClean";

// The "TrackerLists" setting: its non-empty lines, in order; none when it is absent.
std::vector<std::wstring> GetTrackerListSources();
// Stores the sources, one per line; none deletes the value.
void SetTrackerListSources(const std::vector<std::wstring>& sources);
// The "NeverClean" setting's text; empty when it is absent.
std::wstring GetNeverCleanText();

// The keep list of a text of one site per line, named "Never clean".
CTrackerList KeepListFromText(const std::wstring& text);

// True when `source` is an address ("http://" or "https://", in any letter case)
// rather than a file path.
bool IsListAddress(const std::wstring& source);
// True for an address the program downloads from: https:// with a host name or an
// address and an optional port, or http:// to this computer only (127.0.0.1, [::1],
// localhost); no user name, blank or control character anywhere.
bool IsAcceptedListAddress(const std::wstring& address);

// Where the downloaded copy of the list at `address` is kept; false, with *path
// empty, when there is no local application data folder.
bool ListCopyPath(const std::wstring& address, std::wstring* path);
// The folder of the copies, below the local application data folder.
bool ListCopyFolder(std::wstring* folder);

// What the program knows of a list's last download, kept beside its copy.
struct ListDownloadState {
  std::string etag;           // the server's ETag for the copy, as sent
  std::string last_modified;  // its Last-Modified, as sent
  uint64_t checked = 0;       // when the server was last asked (UTC FILETIME)
  uint64_t confirmed = 0;     // when it last gave the list or said it had not changed
  std::wstring failure;       // why the last attempt failed; empty when it succeeded

  bool operator==(const ListDownloadState&) const = default;
};

// Reads the state kept beside `copy`; a missing or unreadable one reads as empty.
ListDownloadState ReadListDownloadState(const std::wstring& copy);
// Replaces the state kept beside `copy` in one step; false when it cannot.
bool WriteListDownloadState(const std::wstring& copy, const ListDownloadState& state);
// True when the list may be asked for again at `now` (UTC FILETIME): never asked,
// asked a day or more ago, or asked "later" than now (the clock went back).
bool IsListDownloadDue(const ListDownloadState& state, uint64_t now);

// A list as the front ends report it.
struct ListReport {
  std::wstring source;  // the file's path or the list's address, as stored
  std::wstring name;    // what rules and reports call it: the file's name, or the address
  bool address = false;
  // Reading the file, or the downloaded copy (kMissing: none yet).
  ListFileError error = ListFileError::kNone;
  size_t domains = 0;
  std::array<size_t, CTrackerList::kSkipReasons> skipped{};
  ListDownloadState download;  // address lists only
};

// Reads one list from disk into *list (left empty on an error) and reports on it.
ListReport ReadTrackerList(const std::wstring& source, CTrackerList* list);

// Why lines were skipped, as the front ends name it: "not a host name", ...
std::wstring ListSkipText(CTrackerList::Skip reason);
// The state of a list in a line of its own, empty when all is well: the file's
// error, "not downloaded yet", "download failed: ...; last good copy kept", ...
std::wstring ListStateText(const ListReport& report);

struct RunFilter {
  CCookieFilter filter;
  std::vector<ListReport> lists;  // in the order of the sources
};

// The filter of the patterns, every list of `sources` that gives at least one
// domain, and `keep`.
RunFilter BuildRunFilter(const std::wstring& patterns, const std::vector<std::wstring>& sources,
                         CTrackerList keep);
// The same from the settings: the patterns (CtrackscrubApp::GetFilter), the
// tracker lists and the keep list.
RunFilter BuildSettingsFilter();
