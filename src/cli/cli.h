// The console front end: scan or clean a Windows user profile.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
// A running browser held a database: it was skipped (listed under "skipped").
inline constexpr int kExitSkipped = 3;

// Runs one command line (args[0] is the program name; every argument UTF-8).
// Writes results to `out` and complaints to `err`; returns the exit status. When
// `err_is_terminal`, a scan or clean without --json keeps a line of progress on
// `err` while it runs longer than a second (cli/progress.h).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool err_is_terminal = false);
