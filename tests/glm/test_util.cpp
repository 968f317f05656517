#include "test_util.h"

#include <cmath>
#include <string>

ModelPtr read_obj(const std::string& obj, const std::string& mtl, const std::string& mtl_name) {
  if (!mtl.empty()) writeFile(mtl_name, mtl);
  return ModelPtr(glmReadOBJ(writeFile("m.obj", obj).c_str()));
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
