// The update server's conversation, as plain text: the request address, the reply
// check and the once-per-start gate. The Windows worker that talks HTTP is in
// version_check.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Where and as whom the program asks. The host is under a reserved example domain
// named after the program.
inline constexpr char kUpdateHost[] = "update.trackscrub.example";
inline constexpr char kUpdatePath[] = "versioncheck.asp";
inline constexpr char kUpdateProduct[] = "trackscrub";
inline constexpr char kUpdateAgent[] = "Trackscrub update check";

// The first line of every valid reply.
inline constexpr char kReplyMagic[] = "ZR4K-VERSIONRESPONSE";

// The window message that carries the result: wParam the new build (0: nothing to
// report), lParam a malloc'ed copy of the download address or 0, owned by the
// receiver.
inline constexpr unsigned kWmVersionCheck = 0x0400 + 1;  // WM_USER + 1

// What the request reports about the system it runs on.
struct OsInfo {
  int major = 0, minor = 0, build = 0;
  int service_pack_major = 0, service_pack_minor = 0;
  int processors = 0, architecture = 0;
};

// The fourth number of "%d.%d.%d.%d"; 0 when the text has fewer than four.
uint32_t ParseBuild(const char* version);

// "http://host/path?product=..&version=..&os=a.b.c.d.e.f.g", cut to 255 bytes;
// nothing is escaped.
std::string FormatVersionCheckUrl(const std::string& host, const std::string& path,
                                  const std::string& product, const std::string& version,
                                  const OsInfo& os);

// Checks the first bytes of a reply: three LF-ended lines, the magic word, a build
// above `current_build`, an http:// or https:// address. On success stores the
// build and the address cut at its first blank, tab, CR or LF. Reads no byte past
// `size`.
bool CheckVersionReply(const char* data, size_t size, uint32_t current_build,
                       uint32_t* new_build, std::string* address);

// Minutes since 1970 (UTC) as the check stores them.
uint32_t VersionCheckMinute(int64_t seconds_since_1970);
// A check runs only when at least two minute boundaries have passed since the last.
bool IsVersionCheckDue(uint32_t last_minute, uint32_t now_minute);
