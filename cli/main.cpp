// tintery-cli: writes colour variants of image files from the command line,
// with the same folders, names, codecs and defaults as the window.

#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "cli/Cli.h"

namespace {

extern "C" void onInterrupt(int) {
  tintery::cli::cancelActiveRun();
}

// The first Ctrl-C finishes the variant being written and stops; a second
// one ends the program at once.
void catchInterrupts() {
  struct sigaction action {};
  action.sa_handler = &onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  catchInterrupts();
  return tintery::cli::runCli(arguments, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
}
