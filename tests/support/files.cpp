#include "tests/support/files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

// Removed when the program that made it exits; not by a death test's child,
// whose parent goes on using it.
static char madeDir[] = "/tmp/plinkar-test-XXXXXX";
static pid_t madeBy;

static void removeTestDir() {
  std::error_code ignored;
  if (getpid() == madeBy) std::filesystem::remove_all(madeDir, ignored);
}

const std::string& testDir() {
  static const std::string dir = [] {
    if (!mkdtemp(madeDir)) abort();
    madeBy = getpid();
    atexit(removeTestDir);
    return std::string(madeDir);
  }();
  return dir;
}

std::string writeFile(const std::string& name, const std::string& text) {
  const std::string path = name.empty() || name[0] != '/' ? testDir() + "/" + name : name;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file || fwrite(text.data(), 1, text.size(), file) != text.size() || fclose(file) != 0)
    abort();
  return path;
}

std::string readFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
