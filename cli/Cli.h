#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

namespace tintery::cli {

// Exit statuses.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

// The whole program after the program name: parses the arguments, converts
// every file and returns the exit status. `showProgress` allows the progress
// bar on `err` (the caller knows whether it is a terminal); --quiet turns it
// off.
int runCli(const std::vector<std::string_view>& arguments, std::FILE* out, std::FILE* err,
           bool showProgress);

// Asks the running conversion, if any, to stop after the variant being
// written. Safe to call from a signal handler.
void cancelActiveRun();

}  // namespace tintery::cli
