// The wording the front ends share: what a scan found and what a clean removed.
#pragma once

#include <string>

#include "model/scanner.h"

// "No evil cookies have been found on your computer." or "%d potentially evil
// cookies have been found on your computer: " with where they are.
std::wstring FormatFoundSentence(const CScanLists& lists);

// "\n\nA cleanup was last performed at: ..." in local time, or "\n\nNo cleanup has
// been performed yet." when no clean was recorded; empty when the recorded time
// cannot be converted.
std::wstring FormatLastCleanLine();

// "%d cookies have been cleaned." or, for 0, "No cookies have been removed.".
std::wstring FormatCleanResult(int count);
