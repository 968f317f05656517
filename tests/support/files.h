// files.h: a private temporary directory per test program, and whole-file
// reads and writes for fixtures and outputs.
#ifndef PLINKAR_TESTS_SUPPORT_FILES_H
#define PLINKAR_TESTS_SUPPORT_FILES_H

#include <string>

// This program's own directory under /tmp, made on first use and removed
// when the program exits.
const std::string& testDir();

// Writes text to testDir()/name (or to name itself when it is absolute) and
// returns the path.
std::string writeFile(const std::string& name, const std::string& text);

// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

#endif  // PLINKAR_TESTS_SUPPORT_FILES_H
