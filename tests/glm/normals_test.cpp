// Facet normals, smoothed vertex normals and the angle threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "glm/glm_internal.h"
#include "test_util.h"

using Corners = std::array<uint32_t, 3>;

static ModelPtr with_normals(const std::string& obj, float angle) {
  ModelPtr m = read_obj(obj);
  glmComputeFacetNormals(m.get());
  glmVertexNormals(m.get(), angle);
  return m;
}

TEST(NormalsFacet, CounterClockwiseFacesPointTowardsTheViewer) {
  ModelPtr m = read_obj("v 0 0 0\nv 2 0 0\nv 0 2 0\nf 1 2 3\nf 1 3 2\n");
  glmComputeFacetNormals(m.get());
  EXPECT_EQ(m->facetnormcount, 2u);
  EXPECT_EQ(m->faces[1].facetidx, 2u);
  EXPECT_TRUE(TripleNear(m->facetnorms, 1, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, -1.0f));
}

// One triangle of each of the three sides that meet at the box corner
// A = (1, 1, 1), each wound counter-clockwise from outside.
static const char kCorner[] =
    "v 1 1 1\nv 1 0 1\nv 1 1 0\nv 0 1 1\nv 1 0 0\n"
    "f 1 2 3\nf 1 3 4\nf 1 4 2\n";

TEST(NormalsVertex, RightAnglesAreSmoothedAt90Degrees) {
  // cos of 90 degrees with the single-precision pi is just below 0, so
  // exactly perpendicular faces count as within the angle.
  ModelPtr m = with_normals(kCorner, 90.0f);
  const float third = 1.0f / std::sqrt(3.0f);
  EXPECT_EQ(m->normalcount, 4u);
  for (uint32_t f = 0; f < 3; f++) {
    uint32_t n = m->faces[f].normalidx[0];
    EXPECT_TRUE(TripleNear(m->normals, n, third, third, third)) << f;
  }
  // Vertex 2 joins the +x and +z sides.
  const float half = 1.0f / std::sqrt(2.0f);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[0].normalidx[1], half, 0.0f, half));
}

TEST(NormalsVertex, TheSharedNormalIsAPlainSumOfFacets) {
  ModelPtr m = with_normals(std::string(kCorner) + "f 1 5 3\n", 90.0f);
  const float s = 1.0f / std::sqrt(6.0f);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[3].normalidx[0], 2 * s, s, s));
}

TEST(NormalsVertex, AngleZeroGivesEveryCornerItsFacetNormal) {
  ModelPtr m = with_normals(kCorner, 0.0f);
  EXPECT_EQ(m->normalcount, 9u);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[1].normalidx[0], 0.0f, 1.0f, 0.0f));
}

TEST(NormalsVertex, FacesBeyondTheAngleGetTheirOwnCopies) {
  // Face 2 is tilted 100 degrees from face 1 about their shared edge 1-2.
  ModelPtr m = with_normals(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -0.17364818 0.98480775\nf 1 2 3\nf 1 2 4\n", 90.0f);
  // Each shared vertex: the head (face 2) smoothed with itself, then a copy
  // of face 1's normal; then the vertices each face has alone.
  EXPECT_EQ(m->normalcount, 6u);
  EXPECT_EQ(corners(m->faces[0].normalidx), (Corners{2, 4, 5}));
  EXPECT_EQ(corners(m->faces[1].normalidx), (Corners{1, 3, 6}));
  EXPECT_TRUE(TripleNear(m->normals, 2, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(TripleNear(m->normals, 1, 0.0f, -0.98480775f, -0.17364818f, 1e-6f));
}

TEST(NormalsVertex, OppositeFacesAreApartEvenAt180Degrees) {
  ModelPtr m = with_normals("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n", 180.0f);
  EXPECT_EQ(m->normalcount, 6u);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[0].normalidx[0], 0.0f, 0.0f, 1.0f));
}

TEST(NormalsVertex, UnusedVertexIsReportedOnceAndAddsNothing) {
  testing::internal::CaptureStderr();
  ModelPtr m = with_normals("v 0 0 0\nv 1 0 0\nv 5 5 5\nv 0 1 0\nf 1 2 4\n", 90.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "glmVertexNormals(): vertex w/o a triangle\n");
  EXPECT_EQ(m->normalcount, 3u);
}

TEST(NormalsVertex, DegenerateFacesLeaveNoStaleIndexAndNoNaN) {
  // Face 2 names vertex 1 twice and has no area.
  ModelPtr m = with_normals("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 1 2\nf 3 3 3\n", 90.0f);
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, 0.0f));
  EXPECT_LE(m->normalcount, 3 * m->facecount);
  for (uint32_t f = 0; f < m->facecount; f++) {
    for (int c = 0; c < 3; c++) {
      uint32_t n = m->faces[f].normalidx[c];
      ASSERT_GE(n, 1u);
      ASSERT_LE(n, m->normalcount);
      for (int k = 0; k < 3; k++) EXPECT_FALSE(std::isnan(m->normals[3 * n + k]));
    }
  }
}

TEST(NormalsFacet, TinyAndHugeFacesStillGetUnitNormals) {
  // The squared length of the cross product under- or overflows a float.
  ModelPtr m = read_obj(
      "v 0 0 0\nv 1e-20 0 0\nv 0 1e-20 0\nv 2e19 0 0\nv 0 2e19 0\nv 3e38 0 0\nv -3e38 0 1\n"
      "f 1 2 3\nf 1 4 5\nf 1 6 7\n");
  glmComputeFacetNormals(m.get());
  EXPECT_TRUE(TripleNear(m->facetnorms, 1, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 3, 0.0f, -1.0f, 0.0f));
}

TEST(NormalsVector, ZeroLengthStaysZero) {
  float zero[3] = {0, 0, 0};
  glmNormalizeVector(zero);
  EXPECT_EQ(zero[0], 0.0f);
  float v[3] = {3, 0, 4};
  glmNormalizeVector(v);
  EXPECT_FLOAT_EQ(v[0], 0.6f);
  EXPECT_FLOAT_EQ(v[2], 0.8f);
  const float half = 1.0f / std::sqrt(2.0f);
  float huge[3] = {3e38f, -3e38f, 0};
  glmNormalizeVector(huge);
  EXPECT_TRUE(TripleNear(huge, 0, half, -half, 0.0f));
  float tiny[3] = {0, 1e-30f, 1e-30f};
  glmNormalizeVector(tiny);
  EXPECT_TRUE(TripleNear(tiny, 0, 0.0f, half, half));
}

// What the player does with a model, spread over several threads even for
// a small one, gives bit for bit what one thread gives: the box (with a
// not-a-number first vertex, and with signed zeros at its edges), the facet
// normals, every smoothed normal and index, and the messages.
TEST(NormalsThreads, SeveralThreadsGiveWhatOneGives) {
  std::mt19937 rng(11);
  for (const char* first : {"v 0 -0 0.5\n", "v nan 1 2\n", "v -0 0 -0\n"}) {
    std::string obj = first;
    for (int i = 0; i < 400; i++)
      obj += "v " + std::to_string(static_cast<int>(rng() % 21) - 10) + " " +
             std::to_string(static_cast<int>(rng() % 7) - 3) + " " + std::to_string(rng() % 5) +
             "\n";
    // Vertices named twice in a face, and some never named.
    for (int i = 0; i < 700; i++)
      obj += "f " + std::to_string(1 + rng() % 380) + " " + std::to_string(1 + rng() % 380) + " " +
             std::to_string(1 + rng() % 380) + "\n";
    struct Result {
      ModelPtr model;
      float scale;
      std::string messages;
    } results[2];
    for (int threads = 1; threads <= 2; threads++) {
      glmSetThreadLimit(3 * (threads - 1) + 1, true);
      Result& r = results[threads - 1];
      r.model = read_obj(obj);
      r.scale = glmFitToUnitCube(r.model.get());
      glmComputeFacetNormals(r.model.get());
      testing::internal::CaptureStderr();
      glmVertexNormals(r.model.get(), 73.0f);
      r.messages = testing::internal::GetCapturedStderr();
      glmSetThreadLimit(0);
    }
    const Model* a = results[0].model.get();
    const Model* b = results[1].model.get();
    EXPECT_EQ(memcmp(&results[0].scale, &results[1].scale, sizeof(float)), 0);
    EXPECT_EQ(results[0].messages, results[1].messages);
    EXPECT_EQ(memcmp(a->vertices, b->vertices, 12 * (a->vertexcount + 1)), 0);
    EXPECT_EQ(memcmp(a->facetnorms, b->facetnorms, 12 * (a->facetnormcount + 1)), 0);
    ASSERT_EQ(a->normalcount, b->normalcount);
    EXPECT_EQ(memcmp(a->normals, b->normals, 12 * (a->normalcount + 1)), 0);
    EXPECT_EQ(memcmp(a->faces, b->faces, sizeof(ModelFace) * a->facecount), 0);
  }
}
