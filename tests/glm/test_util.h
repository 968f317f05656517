// Model library test helpers: fixtures in the test directory, self-freeing models.
#ifndef PLINKAR_TESTS_GLM_TEST_UTIL_H
#define PLINKAR_TESTS_GLM_TEST_UTIL_H

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "glm/glm.h"
#include "tests/support/files.h"

struct ModelDeleter {
  void operator()(Model* model) const { glmDestroy(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;
using Corners = std::array<uint32_t, 3>;

// Writes the OBJ text (and, when given, an MTL library beside it) and reads it.
inline ModelPtr read_obj(const std::string& obj, const std::string& mtl = "",
                         const std::string& mtl_name = "m.mtl") {
  if (!mtl.empty()) writeFile(mtl_name, mtl);
  return ModelPtr(glmReadOBJ(writeFile("m.obj", obj).c_str()));
}

// Whether triple i of a 1-based float array is (x, y, z) within tolerance.
inline testing::AssertionResult TripleNear(const float* a, uint32_t i, float x, float y, float z,
                                           float tolerance = 1e-6f) {
  const float* t = &a[3 * i];
  if (std::fabs(t[0] - x) <= tolerance && std::fabs(t[1] - y) <= tolerance &&
      std::fabs(t[2] - z) <= tolerance)
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "triple " << i << " is (" << t[0] << ", " << t[1] << ", " << t[2] << ")";
}

inline Corners corners(const uint32_t* index) { return {index[0], index[1], index[2]}; }

template <typename F>
std::string stdout_of(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

#endif
