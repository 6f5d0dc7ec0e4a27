#include "update/version_reply.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint32_t ParseBuild(const char* version) {
  int a = 0, b = 0, c = 0, d = 0;
  if (version == nullptr || std::sscanf(version, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return 0;
  return static_cast<uint32_t>(d);
}

std::string FormatVersionCheckUrl(const std::string& host, const std::string& path,
                                  const std::string& product, const std::string& version,
                                  const OsInfo& os) {
  char url[256];
  std::snprintf(url, sizeof url, "http://%s/%s?product=%s&version=%s&os=%d.%d.%d.%d.%d.%d.%d",
                host.c_str(), path.c_str(), product.c_str(), version.c_str(), os.major, os.minor,
                os.build, os.service_pack_major, os.service_pack_minor, os.processors,
                os.architecture);
  return url;
}

bool CheckVersionReply(const char* data, size_t size, uint32_t current_build,
                       uint32_t* new_build, std::string* address) {
  // The reply is text: it ends at its first NUL, and its three lines must end before.
  const std::string reply(data, static_cast<size_t>(std::find(data, data + size, '\0') - data));
  const size_t end1 = reply.find('\n');
  if (end1 == std::string::npos) return false;
  const size_t end2 = reply.find('\n', end1 + 1);
  if (end2 == std::string::npos) return false;
  const size_t end3 = reply.find('\n', end2 + 1);
  if (end3 == std::string::npos) return false;
  if (reply.compare(0, end1, kReplyMagic) != 0) return false;
  const std::string version = reply.substr(end1 + 1, end2 - end1 - 1);
  const uint32_t build = ParseBuild(version.c_str());
  if (build <= current_build) return false;
  const std::string line3 = reply.substr(end2 + 1, end3 - end2 - 1);
  if (line3.compare(0, 7, "http://") != 0 && line3.compare(0, 8, "https://") != 0) return false;
  *new_build = build;
  *address = line3.substr(0, line3.find_first_of("\t\r "));
  return true;
}

uint32_t VersionCheckMinute(int64_t seconds_since_1970) {
  return static_cast<uint32_t>(seconds_since_1970 / 60);
}

bool IsVersionCheckDue(uint32_t last_minute, uint32_t now_minute) {
  return last_minute + 1 < now_minute;
}
