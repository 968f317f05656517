// Helpers for the model library tests: fixtures written to a private
// temporary directory, and models that free themselves.
#ifndef PLINKAR_TESTS_GLM_TEST_UTIL_H
#define PLINKAR_TESTS_GLM_TEST_UTIL_H

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "glm/glm.h"
#include "tests/support/files.h"

struct ModelDeleter {
  void operator()(Model* model) const { glmDestroy(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

// Writes the OBJ text (and, when given, an MTL library beside it) and reads it.
ModelPtr read_obj(const std::string& obj, const std::string& mtl = "",
                  const std::string& mtl_name = "m.mtl");

// Whether triple i of a 1-based float array is (x, y, z) within tolerance.
::testing::AssertionResult TripleNear(const float* array, uint32_t i, float x, float y, float z,
                                      float tolerance = 1e-6f);

// The three corner indices of a face, for EXPECT_EQ against a braced list.
std::array<uint32_t, 3> corners(const uint32_t* index);

#endif
