// Generated texture coordinates: planar projection and sphere mapping.
#include <gtest/gtest.h>

#include "test_util.h"

static float u_of(const Model* m, uint32_t i) { return m->uvs[2 * i]; }
static float v_of(const Model* m, uint32_t i) { return m->uvs[2 * i + 1]; }

TEST(TexcoordsPlanar, FittedModelMapsXAndZOntoTheUnitSquare) {
  ModelPtr m = read_obj("v -1 0.5 -1\nv 1 -1 1\nv 0 0.25 0\nvt 9 9\nf 1 2 3\nf 1/1 2/1 3/1\n");
  glmPlanarUVs(m.get());
  ASSERT_EQ(m->uvcount, 3u);
  EXPECT_FLOAT_EQ(u_of(m.get(), 1), 0.0f);
  EXPECT_FLOAT_EQ(v_of(m.get(), 1), 0.0f);
  EXPECT_FLOAT_EQ(u_of(m.get(), 2), 1.0f);
  EXPECT_FLOAT_EQ(v_of(m.get(), 2), 1.0f);
  EXPECT_FLOAT_EQ(u_of(m.get(), 3), 0.5f);
  EXPECT_FLOAT_EQ(v_of(m.get(), 3), 0.5f);
  // Every face the groups list now points at its vertices' coordinates.
  EXPECT_EQ(corners(m->faces[1].uvidx), (std::array<uint32_t, 3>{1, 2, 3}));
}

TEST(TexcoordsPlanar, ScaleComesFromTheLargestExtent) {
  // x runs -2..2: extent 4, scale 0.5, so (2, 0, -2) maps to (1, 0). The
  // y extent (here 6 = |5| + |-1|) counts too when it is the largest.
  ModelPtr m = read_obj("v -2 0 2\nv 2 0 -2\n");
  glmPlanarUVs(m.get());
  EXPECT_FLOAT_EQ(u_of(m.get(), 2), 1.0f);
  EXPECT_FLOAT_EQ(v_of(m.get(), 2), 0.0f);
  ModelPtr tall = read_obj("v -2 5 2\nv 2 -1 -2\n");
  glmPlanarUVs(tall.get());
  EXPECT_FLOAT_EQ(u_of(tall.get(), 2), (2.0f / 3 + 1) / 2);
}

TEST(TexcoordsPlanar, ModelAtTheOriginStaysFinite) {
  ModelPtr m = read_obj("v 0 0 0\nv 0 0 0\n");
  glmPlanarUVs(m.get());
  EXPECT_EQ(u_of(m.get(), 1), 0.5f);
  EXPECT_EQ(v_of(m.get(), 2), 0.5f);
}

TEST(TexcoordsSphere, NormalDirectionsGiveTheListedCoordinates) {
  struct Case {
    float n[3];
    float u, v;
  } cases[] = {
      {{0, 1, 0}, 1.0f, 0.5f},
      {{0, -1, 0}, -1.4485101e-08f, 0.5f},
      {{0, 0, 1}, 0.49999994f, 0.5f},
      {{0, 0, -1}, 0.49999994f, 0.5f},
      {{1, 0, 0}, 0.0f, 0.0f},
      {{-1, 0, 0}, 0.0f, 0.0f},
      {{0.6f, 0.8f, 0}, 1.0f, 0.29516724f},
      {{0, 0.6f, 0.8f}, 0.7048328f, 0.5f},
  };
  std::string obj = "v 0 0 0\n";
  for (const Case& c : cases)
    obj += "vn " + std::to_string(c.n[0]) + " " + std::to_string(c.n[1]) + " " +
           std::to_string(c.n[2]) + "\n";
  obj += "f 1//8 1//7 1//6\n";
  ModelPtr m = read_obj(obj);
  glmSphereMapUVs(m.get());
  ASSERT_EQ(m->uvcount, 8u);
  for (uint32_t i = 1; i <= 8; i++) {
    // Exact: the constants' mix of precisions is what these values pin.
    EXPECT_EQ(u_of(m.get(), i), cases[i - 1].u) << "normal " << i;
    EXPECT_EQ(v_of(m.get(), i), cases[i - 1].v) << "normal " << i;
  }
  EXPECT_EQ(corners(m->faces[0].uvidx), (std::array<uint32_t, 3>{8, 7, 6}));
}
