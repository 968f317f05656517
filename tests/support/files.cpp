#include "tests/support/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

const std::string& testDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/plinkar-test-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    return std::string(pattern);
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
