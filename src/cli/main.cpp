// trackscrub-cli: the console front end.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(platform::Utf8FromWide(argv[i]));
  platform::UseUtf8Console();
  return RunCli(args, std::cout, std::cerr, platform::StandardErrorIsTerminal());
}
#else
int main(int argc, char** argv) {
  return RunCli(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr,
                platform::StandardErrorIsTerminal());
}
#endif
