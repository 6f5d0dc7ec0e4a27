// The wording the front ends share: what a scan found and what a clean removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/scanner.h"

// "No evil cookies have been found on your computer." or "%d potentially evil
// cookies have been found on your computer: " with where they are.
std::wstring FormatFoundSentence(const CScanLists& lists);

// "\n\nA cleanup was last performed at: ..." with the time of the last clean (a
// UTC FILETIME) in local time, or "\n\nNo cleanup has been performed yet." when it
// is 0 (none recorded); empty when the time cannot be converted.
std::wstring FormatLastCleanLine(uint64_t last_clean);

// One sentence for each browser that held a database open (HeldReason::kInUse), in
// the order of the table of browsers: "Microsoft Edge is running; close it to clean its cookies.".
std::vector<std::wstring> HeldSentences(const std::vector<HeldBrowserStore>& held);

// "%d cookies have been cleaned." or, for 0, "No cookies have been removed.".
std::wstring FormatCleanResult(int count);
