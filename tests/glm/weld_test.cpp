// Welding: which vertices merge, where they end up, and that the grid
// search agrees with comparing against every kept vertex.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "glm/glm_internal.h"
#include "test_util.h"

TEST(WeldNearlyEqual, EveryAxisStrictlyWithinEpsilon) {
  const float a[3] = {0, 0, 0}, b[3] = {0.5f, 0, 0}, c[3] = {0, 0.4f, -0.4f};
  EXPECT_FALSE(glmNearlyEqual(a, b, 0.5f));  // equal to epsilon is not within
  EXPECT_TRUE(glmNearlyEqual(a, c, 0.5f));
  EXPECT_FALSE(glmNearlyEqual(a, a, 0.0f));  // epsilon 0: not even itself
}

TEST(WeldVertices, NeighboursJoinTheFirstKeptVertexNotEachOther) {
  // x = 0, 0.0008, 0.0016: the second joins the first, the third is
  // compared with the first (0.0016 away) and stays.
  ModelPtr m = read_obj("v 0 0 0\nv 0.0008 0 0\nv 0.0016 0 0\nv 0.0005 0 0\nf 1 2 3\nf 4 3 2\n");
  glmWeldVertices(m.get(), 0.001f);
  ASSERT_EQ(m->vertexcount, 2u);
  EXPECT_TRUE(TripleNear(m->vertices, 1, 0, 0, 0, 0));
  EXPECT_TRUE(TripleNear(m->vertices, 2, 0.0016f, 0, 0, 0));
  EXPECT_EQ(corners(m->faces[0].vertexidx), (std::array<uint32_t, 3>{1, 1, 2}));
  EXPECT_EQ(corners(m->faces[1].vertexidx), (std::array<uint32_t, 3>{1, 2, 1}));
}

TEST(WeldVertices, EpsilonZeroMergesNothingEvenIdenticalVertices) {
  ModelPtr m = read_obj("v 1 1 1\nv 1 1 1\nv 2 2 2\nvn 0 0 1\nf 1//1 2//1 3//1\n");
  glmWeldVertices(m.get(), 0.0f);
  EXPECT_EQ(m->vertexcount, 3u);
  EXPECT_EQ(corners(m->faces[0].vertexidx), (std::array<uint32_t, 3>{1, 2, 3}));
  EXPECT_EQ(corners(m->faces[0].normalidx), (std::array<uint32_t, 3>{1, 1, 1}));
}

TEST(WeldMerge, IndicesComeBackThroughTheFirstComponent) {
  float v[] = {0, 0, 0, 5, 5, 5, 1, 1, 1, 5.1f, 5, 5};
  uint32_t count = 3;
  float* kept = glmMergeVectors(v, &count, 0.2f);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(v[3], 1.0f);
  EXPECT_EQ(v[6], 2.0f);
  EXPECT_EQ(v[9], 1.0f);
  EXPECT_EQ(kept[3], 5.0f);
  free(kept);
}

TEST(WeldMerge, GridSearchMatchesThePlainSearch) {
  // Clustered random points, with exact repeats, far-off values, negative
  // coordinates and points on cell boundaries, over several epsilons.
  std::mt19937 rng(99);
  std::vector<float> v(3, 0.0f);
  for (int i = 0; i < 3000; i++) {
    const float base[3] = {float(rng() % 20) * 0.01f, float(rng() % 3) * -0.02f,
                           (rng() % 50 == 0) ? 1e7f : 0.0f};
    for (int a = 0; a < 3; a++) v.push_back(base[a] + float(rng() % 1000) * 1e-6f);
    if (rng() % 10 == 0) v.insert(v.end(), v.end() - 3, v.end());
  }
  const uint32_t n = static_cast<uint32_t>(v.size() / 3 - 1);
  for (float epsilon : {0.0f, 1e-6f, 0.0005f, 0.001f, 0.01f, 0.25f, 1e9f}) {
    std::vector<uint32_t> plain_map(n + 1), grid_map(n + 1);
    uint32_t plain_count = n, grid_count = n;
    float* plain = glmMergeVectorsPlain(v.data(), &plain_count, epsilon, plain_map.data());
    float* grid = glmMergeVectorsMap(v.data(), &grid_count, epsilon, grid_map.data());
    EXPECT_EQ(plain_count, grid_count) << epsilon;
    EXPECT_EQ(plain_map, grid_map) << epsilon;
    EXPECT_EQ(memcmp(plain, grid, 3 * (size_t(grid_count) + 1) * sizeof(float)), 0) << epsilon;
    free(plain);
    free(grid);
  }
}
