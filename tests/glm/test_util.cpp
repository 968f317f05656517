#include "test_util.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

const std::string& fixture_dir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/plinkar-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) abort();
    return std::string(made);
  }();
  return dir;
}

std::string write_fixture(const std::string& name, const std::string& text) {
  std::string path = fixture_dir() + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) abort();
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);
  return path;
}

ModelPtr read_obj(const std::string& obj, const std::string& mtl, const std::string& mtl_name) {
  if (!mtl.empty()) write_fixture(mtl_name, mtl);
  return ModelPtr(glmReadOBJ(write_fixture("m.obj", obj).c_str()));
}

::testing::AssertionResult TripleNear(const float* array, uint32_t i, float x, float y, float z,
                                      float tolerance) {
  const float* t = &array[3 * i];
  if (std::fabs(t[0] - x) <= tolerance && std::fabs(t[1] - y) <= tolerance &&
      std::fabs(t[2] - z) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "triple " << i << " is (" << t[0] << ", " << t[1] << ", " << t[2] << "), expected ("
         << x << ", " << y << ", " << z << ")";
}

std::array<uint32_t, 3> corners(const uint32_t* index) { return {index[0], index[1], index[2]}; }
