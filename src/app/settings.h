// The application object's settings accessors, schedule and built-in filter list.
//
// Every setting is a value under HKEY_CURRENT_USER\Software\Trackscrub, read anew on
// every call with the default the caller names: a missing, unreadable or wrongly
// typed value reads as that default. Writes that fail are lost without a word.
#pragma once

#include <cstdint>
#include <string>

#include "scan/browsers.h"

// Value names, letter case included.
inline constexpr wchar_t kValueFilter[] = L"Filter";
inline constexpr wchar_t kValueCleanFrequency[] = L"CleanFrequency";
inline constexpr wchar_t kValueCleanPeriod[] = L"CleanPeriod";
inline constexpr wchar_t kValueLastCleanHigh[] = L"LastCleanHigh";
inline constexpr wchar_t kValueLastCleanLow[] = L"LastCleanLow";

// The key all of them live under, below HKEY_CURRENT_USER.
inline constexpr wchar_t kSettingsKey[] = L"Software\\Trackscrub";

inline constexpr uint32_t kDefaultCleanFrequency = 2;
inline constexpr uint32_t kDefaultCleanPeriod = 604800;  // one week
inline constexpr uint32_t kPeriodDay = 86400;
inline constexpr uint32_t kPeriodWeek = 604800;
inline constexpr uint32_t kPeriodMonth = 2678400;  // 31 days

class CtrackscrubApp {
 public:
  // The value as a REG_DWORD of exactly 4 bytes, else `default_value`.
  static uint32_t GetRegDWORD(const wchar_t* name, uint32_t default_value);
  static void SetRegDWORD(const wchar_t* name, uint32_t value);
  // The value as a REG_SZ of more than 1 byte, else `default_value`. A stored
  // string without its terminator loses its last character rather than overrun.
  static std::wstring GetRegString(const wchar_t* name, const std::wstring& default_value);
  // Stores `text` as REG_SZ with its terminator; a null `text` deletes the value.
  static void SetRegString(const wchar_t* name, const wchar_t* text);
  // The "Filter" setting, or the built-in list.
  static std::wstring GetFilter();
  // The browser's switch (its row's value name, default 1): false only for 0.
  static bool IsBrowserEnabled(Browser browser);
  // Deletes the filter and the browser switches so that their defaults apply.
  static void RestoreDefaults();

  // Whole days until the next automatic clean is due (last clean + frequency x
  // period); negative once it is overdue by a whole day; 0 when it cannot be
  // computed.
  static int GetDaysToNextClean();
  // The same, for a given current time (UTC FILETIME).
  static int GetDaysToNextClean(uint64_t now_filetime);
  // Stores the current time as the time of the last clean.
  static void RecordClean();
  // True when a last clean has been recorded (either half non-zero).
  static bool HasRecordedClean();
  // The time of the last clean (UTC FILETIME), 0 when none was recorded.
  static uint64_t GetLastClean();
};

// The built-in filter list: 107 lines, 98 patterns, each line ended by a line feed.
const std::wstring& DefaultFilterText();
