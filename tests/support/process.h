// process.h: running a program to its end and collecting what it did.
#ifndef PLINKAR_TESTS_SUPPORT_PROCESS_H
#define PLINKAR_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

struct RunResult {
  int status = -1;  // exit status; -1 when a signal ended it
  std::string out, err;
};

// Runs argv[0] with the rest as its arguments, in directory dir when given.
// Both streams go through files, so neither can fill up and block it.
RunResult runProgram(const std::vector<std::string>& argv, const std::string& dir = "");

#endif  // PLINKAR_TESTS_SUPPORT_PROCESS_H
