// Facet normals, smoothed vertex normals and the angle threshold.
#include <cstring>
#include <random>

#include "glm/glm_internal.h"
#include "test_util.h"

static ModelPtr with_normals(const std::string& obj, float angle) {
  ModelPtr m = read_obj(obj);
  glmComputeFacetNormals(m.get());
  glmVertexNormals(m.get(), angle);
  return m;
}

TEST(NormalsFacet, CounterClockwiseFacesPointTowardsTheViewerAtAnyScale) {
  // The squared length of the cross product under- or overflows a float.
  ModelPtr m = read_obj(
      "v 0 0 0\nv 2 0 0\nv 0 2 0\nv 1e-20 0 0\nv 0 1e-20 0\nv 2e19 0 0\nv 0 2e19 0\nv 3e38 0 0\n"
      "v -3e38 0 1\nf 1 2 3\nf 1 3 2\nf 1 4 5\nf 1 6 7\nf 1 8 9\n");
  glmComputeFacetNormals(m.get());
  EXPECT_EQ(m->facetnormcount + m->faces[1].facetidx, 7u);
  const float y[] = {0, 0, 0, 0, -1}, z[] = {1, -1, 1, 1, 0};
  for (uint32_t i = 1; i <= 5; i++)
    EXPECT_TRUE(TripleNear(m->facetnorms, i, 0, y[i - 1], z[i - 1]));
}

// One triangle of each side meeting at the box corner A = (1, 1, 1), wound from outside.
static const std::string kCorner =
    "v 1 1 1\nv 1 0 1\nv 1 1 0\nv 0 1 1\nv 1 0 0\nf 1 2 3\nf 1 3 4\nf 1 4 2\n";

TEST(NormalsVertex, FacesWithinTheAngleShareAPlainSumOfTheirFacetNormals) {
  // cos 90 degrees with a float pi is just below 0: perpendicular faces are within.
  ModelPtr m = with_normals(kCorner, 90.0f);
  const float third = 1.0f / std::sqrt(3.0f), half = 1.0f / std::sqrt(2.0f);
  EXPECT_EQ(m->normalcount, 4u);
  for (uint32_t f = 0; f < 3; f++)
    EXPECT_TRUE(TripleNear(m->normals, m->faces[f].normalidx[0], third, third, third)) << f;
  // Vertex 2 joins the +x and +z sides.
  EXPECT_TRUE(TripleNear(m->normals, m->faces[0].normalidx[1], half, 0.0f, half));
  // A second +x face at A counts twice: a plain sum, not one per direction.
  m = with_normals(kCorner + "f 1 5 3\n", 90.0f);
  const float s = 1.0f / std::sqrt(6.0f);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[3].normalidx[0], 2 * s, s, s));
  // Angle 0: every corner keeps its facet normal.
  m = with_normals(kCorner, 0.0f);
  EXPECT_EQ(m->normalcount, 9u);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[1].normalidx[0], 0.0f, 1.0f, 0.0f));
  // Opposite faces stay apart even at 180 degrees.
  m = with_normals("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n", 180.0f);
  EXPECT_EQ(m->normalcount, 6u);
  EXPECT_TRUE(TripleNear(m->normals, m->faces[0].normalidx[0], 0.0f, 0.0f, 1.0f));
}

TEST(NormalsVertex, FacesBeyondTheAngleGetTheirOwnCopies) {
  // Face 2 is tilted 100 degrees from face 1 about their shared edge 1-2.
  ModelPtr m = with_normals(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -0.17364818 0.98480775\nf 1 2 3\nf 1 2 4\n", 90.0f);
  // Shared vertices: face 2's own normal, then a copy of face 1's; then the unshared ones.
  EXPECT_EQ(m->normalcount, 6u);
  EXPECT_EQ(corners(m->faces[0].normalidx), (Corners{2, 4, 5}));
  EXPECT_EQ(corners(m->faces[1].normalidx), (Corners{1, 3, 6}));
  EXPECT_TRUE(TripleNear(m->normals, 2, 0.0f, 0.0f, 1.0f));
  EXPECT_TRUE(TripleNear(m->normals, 1, 0.0f, -0.98480775f, -0.17364818f, 1e-6f));
}

TEST(NormalsVertex, UnusedAndDegenerateVerticesLeaveNoStaleIndexAndNoNaN) {
  // Vertex 4 is in no face; face 2 names vertex 1 twice and has no area.
  testing::internal::CaptureStderr();
  ModelPtr m =
      with_normals("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 3\nf 1 1 2\nf 3 3 3\n", 90.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "glmVertexNormals(): vertex w/o a triangle\n");
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, 0.0f));
  EXPECT_LE(m->normalcount, 3 * m->facecount);
  for (uint32_t i = 0; i < 3 * m->facecount; i++) {
    const uint32_t n = m->faces[i / 3].normalidx[i % 3];
    ASSERT_TRUE(n >= 1 && n <= m->normalcount) << n;
    EXPECT_FALSE(std::isnan(m->normals[3 * n] + m->normals[3 * n + 1] + m->normals[3 * n + 2]));
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(with_normals("v 0 0 0\nv 1 0 0\nv 5 5 5\nv 0 1 0\nf 1 2 4\n", 90)->normalcount, 3u);
  testing::internal::GetCapturedStderr();
}

TEST(NormalsVector, UnitLengthAtAnyScaleAndZeroStaysZero) {
  const float half = 1.0f / std::sqrt(2.0f);
  const struct {
    float in[3], out[3];
  } cases[] = {{{0, 0, 0}, {0, 0, 0}},
               {{3, 0, 4}, {0.6f, 0, 0.8f}},
               {{3e38f, -3e38f, 0}, {half, -half, 0}},
               {{0, 1e-30f, 1e-30f}, {0, half, half}}};
  for (auto c : cases) {
    glmNormalizeVector(c.in);
    EXPECT_TRUE(TripleNear(c.in, 0, c.out[0], c.out[1], c.out[2]));
  }
}

// Fit, facet and vertex normals on several threads give bit for bit what one gives,
// with a not-a-number first vertex or signed zeros at the box's edges.
TEST(NormalsThreads, SeveralThreadsGiveWhatOneGives) {
  std::mt19937 rng(11);
  const auto number = [&](int range, int low) {
    return " " + std::to_string(static_cast<int>(rng() % range) - low);
  };
  for (const char* first : {"v 0 -0 0.5\n", "v nan 1 2\n", "v -0 0 -0\n"}) {
    std::string obj = first;
    for (int i = 0; i < 400; i++) obj += "v" + number(21, 10) + number(7, 3) + number(5, 0) + "\n";
    for (int i = 0; i < 700; i++)
      obj += "f" + number(380, -1) + number(380, -1) + number(380, -1) + "\n";
    ModelPtr models[2];
    float scales[2];
    std::string messages[2];
    for (int i = 0; i < 2; i++) {
      glmSetThreadLimit(3 * i + 1, true);
      models[i] = read_obj(obj);
      scales[i] = glmFitToUnitCube(models[i].get());
      glmComputeFacetNormals(models[i].get());
      testing::internal::CaptureStderr();
      glmVertexNormals(models[i].get(), 73.0f);
      messages[i] = testing::internal::GetCapturedStderr();
      glmSetThreadLimit(0);
    }
    const Model *a = models[0].get(), *b = models[1].get();
    EXPECT_EQ(memcmp(&scales[0], &scales[1], sizeof(float)), 0);
    EXPECT_EQ(messages[0], messages[1]);
    EXPECT_EQ(memcmp(a->vertices, b->vertices, 12 * (a->vertexcount + 1)), 0);
    EXPECT_EQ(memcmp(a->facetnorms, b->facetnorms, 12 * (a->facetnormcount + 1)), 0);
    ASSERT_EQ(a->normalcount, b->normalcount);
    EXPECT_EQ(memcmp(a->normals, b->normals, 12 * (a->normalcount + 1)), 0);
    EXPECT_EQ(memcmp(a->faces, b->faces, sizeof(ModelFace) * a->facecount), 0);
  }
}
