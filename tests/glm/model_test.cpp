// The model record's groups and materials, and what is done to a model: fitting, scaling,
// moving, rewinding, texture coordinates, welding, facet and vertex normals.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "glm/glm_internal.h"
#include "test_util.h"

TEST(ModelDeathTest, GroupLookupMatchesExactlyAndEnsureCreatesOnce) {
  ModelPtr m(static_cast<Model*>(calloc(1, sizeof(Model))));
  ModelGroup* def = glmEnsureGroup(m.get(), "default");
  ModelGroup* key = glmEnsureGroup(m.get(), "Key");
  EXPECT_EQ(glmEnsureGroup(m.get(), "Key"), key);
  EXPECT_EQ(m->groupcount, 2u);
  EXPECT_EQ(glmLookupGroup(m.get(), "key"), nullptr);
  EXPECT_EQ(glmLookupGroup(m.get(), " Key"), nullptr);
  EXPECT_EQ(m->grouplist, key);  // newest first
  EXPECT_EQ(key->next, def);
  EXPECT_EQ(def->next, nullptr);
  EXPECT_EQ(stdout_of([&] { EXPECT_EQ(glmFindMaterial(m.get(), "oak"), 0u); }),
            "glmFindMaterial():  can't find material \"oak\".\n");
  EXPECT_DEATH(glmLookupGroup(nullptr, "x"), "model");
  EXPECT_DEATH(glmDestroy(nullptr), "model");
}

// Fitting centres the box and scales by 2 / the largest |min| + |max|; 1 if nothing to fit.
TEST(BoundsFit, CentresAndScalesByTheLargestExtent) {
  const struct {
    const char* obj;
    float scale, x, y, z;  // the scale, and the last vertex after the fit
  } cases[] = {{"v -1 -1 -1\nv 3 1 1\n", 0.5f, 1, 0.5f, 0.5f},
               {"v 2 -1 -1\nv 4 1 1\n", 1.0f / 3, 1.0f / 3, 1.0f / 3, 1.0f / 3},
               {"v 1 2 3\n", 1.0f / 3, 0, 0, 0},
               {"# nothing\n", 1, 0, 0, 0},
               {"v 0 0 0\nv -0 0 0\n", 1, 0, 0, 0},
               {"v 1e-39 0 0\nv 4e-39 0 0\n", 1, 4e-39f, 0, 0}};  // 2 / 5e-39 overflows
  for (const auto& c : cases) {
    SCOPED_TRACE(c.obj);
    ModelPtr m = read_obj(c.obj);
    float dimensions[3] = {-1, -1, -1};
    glmGetDimensions(m.get(), dimensions);
    EXPECT_EQ(glmFitToUnitCube(m.get()), c.scale);
    EXPECT_TRUE(m->vertexcount
                    ? TripleNear(m->vertices, m->vertexcount, c.x, c.y, c.z, std::fabs(c.x) * 1e-6f)
                    : testing::AssertionResult(dimensions[0] == 0.0f));
  }
  // The extent is |min| + |max|, not max - min; once centred, it stretches.
  ModelPtr m = read_obj("v 2 -1 -1\nv 4 1 1\n");
  float dimensions[3];
  glmGetDimensions(m.get(), dimensions);
  EXPECT_EQ(std::vector<float>(dimensions, dimensions + 3), (std::vector<float>{6, 2, 2}));
  glmFitToUnitCube(m.get());
  EXPECT_FLOAT_EQ(glmFitToUnitCube(m.get()), 3.0f);
  EXPECT_TRUE(TripleNear(m->vertices, 1, -1.0f, -1.0f, -1.0f, 1e-5f));
  // Scaling and moving touch every vertex, and only vertices.
  m = read_obj("v 1 2 3\nv -1 0 1\nvn 0 0 1\n");
  glmScaleVertices(m.get(), 2.0f);
  const float offset[3] = {1.0f, -1.0f, 0.5f};
  glmTranslateVertices(m.get(), offset);
  EXPECT_TRUE(TripleNear(m->vertices, 1, 3.0f, 3.0f, 6.5f));
  EXPECT_TRUE(TripleNear(m->vertices, 2, -1.0f, -1.0f, 2.5f));
  EXPECT_TRUE(TripleNear(m->normals, 1, 0.0f, 0.0f, 1.0f));
}

TEST(BoundsWinding, FlipReversesCornersAndNormalsAndTwiceRestores) {
  ModelPtr m = read_obj(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 0 2\nvn 0 0 3\n"
      "f 1/1/1 2/2/2 3/3/3\nf 2/2/2 4/1/1 3/3/3\n");
  glmComputeFacetNormals(m.get());
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[0].vertexidx), (Corners{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[0].uvidx), (Corners{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[1].normalidx), (Corners{3, 1, 2}));
  EXPECT_TRUE(TripleNear(m->normals, 2, 0.0f, 0.0f, -2.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 1, 0.0f, 0.0f, -1.0f));
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[1].vertexidx), (Corners{2, 4, 3}));
  EXPECT_TRUE(TripleNear(m->normals, 3, 0.0f, 0.0f, 3.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, 1.0f));
  // Indices without their array are left alone.
  m = read_obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  m->faces[0].normalidx[0] = 7;
  m->faces[0].uvidx[2] = 9;
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[0].vertexidx), (Corners{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[0].normalidx), (Corners{7, 0, 0}));
  EXPECT_EQ(corners(m->faces[0].uvidx), (Corners{0, 0, 9}));
}

TEST(Texcoords, PlanarMapsXAndZOfTheFittedBoxOntoTheUnitSquare) {
  const struct {
    const char* obj;
    float u, v;  // of the last vertex
  } cases[] = {{"v -1 0.5 -1\nv 1 -1 1\nv 0 0.25 0\nvt 9 9\nf 1 2 3\nf 1/1 2/1 3/1\n", 0.5f, 0.5f},
               {"v -1 0.5 -1\nv 1 -1 1\n", 1, 1},
               {"v -2 0 2\nv 2 0 -2\n", 1, 0},
               {"v -2 5 2\nv 2 -1 -2\n", (2.0f / 3 + 1) / 2, 1.0f / 6},  // y's extent is largest
               {"v 0 0 0\nv 0 0 0\n", 0.5f, 0.5f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.obj);
    ModelPtr m = read_obj(c.obj);
    glmPlanarUVs(m.get());
    ASSERT_EQ(m->uvcount, m->vertexcount);
    EXPECT_FLOAT_EQ(m->uvs[2 * m->uvcount], c.u);
    EXPECT_FLOAT_EQ(m->uvs[2 * m->uvcount + 1], c.v);
    EXPECT_EQ(m->facecount ? corners(m->faces[1].uvidx) : (Corners{1, 2, 3}), (Corners{1, 2, 3}));
  }
}

TEST(Texcoords, SphereMapGivesTheListedCoordinatesPerNormal) {
  ModelPtr m = read_obj(
      "v 0 0 0\nvn 0 1 0\nvn 0 -1 0\nvn 0 0 1\nvn 0 0 -1\nvn 1 0 0\nvn -1 0 0\nvn 0.6 0.8 0\n"
      "vn 0 0.6 0.8\nf 1//8 1//7 1//6\n");
  glmSphereMapUVs(m.get());
  ASSERT_EQ(m->uvcount, 8u);
  // Exact: the constants' mix of precisions is what these values pin.
  EXPECT_EQ(std::vector<float>(m->uvs + 2, m->uvs + 18),
            std::vector<float>({1.0f, 0.5f, -1.4485101e-08f, 0.5f, 0.49999994f, 0.5f, 0.49999994f,
                                0.5f, 0, 0, 0, 0, 1.0f, 0.29516724f, 0.7048328f, 0.5f}));
  EXPECT_EQ(corners(m->faces[0].uvidx), (Corners{8, 7, 6}));
}

TEST(Weld, VerticesStrictlyWithinEpsilonJoinTheFirstKeptVertex) {
  const float a[3] = {0, 0, 0}, b[3] = {0.5f, 0, 0}, c[3] = {0, 0.4f, -0.4f};
  EXPECT_FALSE(glmNearlyEqual(a, b, 0.5f));  // equal to epsilon is not within
  EXPECT_TRUE(glmNearlyEqual(a, c, 0.5f));
  EXPECT_FALSE(glmNearlyEqual(a, a, 0.0f));  // epsilon 0: not even itself
  // 0.0008 joins 0; 0.0016 is compared with 0, not 0.0008, and stays.
  ModelPtr m = read_obj("v 0 0 0\nv 0.0008 0 0\nv 0.0016 0 0\nv 0.0005 0 0\nf 1 2 3\nf 4 3 2\n");
  glmWeldVertices(m.get(), 0.001f);
  ASSERT_EQ(m->vertexcount, 2u);
  EXPECT_TRUE(TripleNear(m->vertices, 2, 0.0016f, 0, 0, 0));
  EXPECT_EQ(corners(m->faces[0].vertexidx), (Corners{1, 1, 2}));
  EXPECT_EQ(corners(m->faces[1].vertexidx), (Corners{1, 2, 1}));
  m = read_obj("v 1 1 1\nv 1 1 1\nv 2 2 2\nvn 0 0 1\nf 1//1 2//1 3//1\n");
  glmWeldVertices(m.get(), 0.0f);
  EXPECT_EQ(m->vertexcount, 3u);
  EXPECT_EQ(corners(m->faces[0].normalidx), (Corners{1, 1, 1}));
  // glmMergeVectors hands the indices back through each first component.
  float v[] = {0, 0, 0, 5, 5, 5, 1, 1, 1, 5.1f, 5, 5};
  uint32_t count = 3;
  float* kept = glmMergeVectors(v, &count, 0.2f);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(v[3], 1);  // vectors 1, 2, 3 became kept 1, 2, 1
  EXPECT_EQ(v[6], 2);
  EXPECT_EQ(v[9], 1);
  EXPECT_EQ(kept[3], 5);
  free(kept);
}

// Clustered random points, exact repeats, far-off values and cell boundaries.
TEST(Weld, GridSearchMatchesThePlainSearch) {
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
    EXPECT_EQ(plain_map, grid_map) << epsilon;
    ASSERT_EQ(plain_count, grid_count) << epsilon;
    EXPECT_EQ(memcmp(plain, grid, 3 * (size_t(grid_count) + 1) * sizeof(float)), 0) << epsilon;
    free(plain);
    free(grid);
  }
}

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
  EXPECT_EQ(m->facetnormcount, 5u);
  EXPECT_EQ(m->faces[1].facetidx, 2u);
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
    ASSERT_GE(n, 1u);
    ASSERT_LE(n, m->normalcount);
    for (int k = 0; k < 3; k++) EXPECT_FALSE(std::isnan(m->normals[3 * n + k])) << n << " " << k;
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

// Vertex normals worked out the plain way: a list of uses per vertex, head first.
static void plain_vertex_normals(const Model* m, float angle, std::vector<float>* normals,
                                 std::vector<uint32_t>* corners) {
  const float threshold = static_cast<float>(cos(angle * 3.1415927410125732 / 180.0));
  std::vector<std::vector<uint32_t>> uses(m->vertexcount + 1);  // 3 * face + corner
  for (uint32_t i = 3 * m->facecount; i-- > 0;) uses[m->faces[i / 3].vertexidx[i % 3]].push_back(i);
  normals->assign(3, 0.0f);
  corners->assign(3 * m->facecount, 0);
  const auto facet = [&](uint32_t use) { return &m->facetnorms[3 * m->faces[use / 3].facetidx]; };
  for (uint32_t v = 1; v <= m->vertexcount; v++) {
    if (uses[v].empty()) continue;
    std::vector<bool> within;
    float sum[3] = {0, 0, 0};
    for (uint32_t use : uses[v]) {
      within.push_back(glmDotProduct(facet(use), facet(uses[v][0])) > threshold);
      for (int k = 0; within.back() && k < 3; k++) sum[k] += facet(use)[k];
    }
    const uint32_t shared = normals->size() / 3;
    glmNormalizeVector(sum);
    if (std::find(within.begin(), within.end(), true) != within.end())
      normals->insert(normals->end(), sum, sum + 3);
    for (size_t k = 0; k < uses[v].size(); k++) {
      (*corners)[uses[v][k]] = within[k] ? shared : normals->size() / 3;
      if (!within[k]) normals->insert(normals->end(), facet(uses[v][k]), facet(uses[v][k]) + 3);
    }
  }
}

// Fit, facet and vertex normals on several threads give bit for bit what one gives,
// with a not-a-number first vertex or signed zeros at the box's edges; facet normals are
// those of the vector helpers, and vertex normals those of plain lists, creases, repeated
// corners and flat faces included.
TEST(NormalsThreads, SeveralThreadsGiveWhatOneGives) {
  std::mt19937 rng(11);
  const auto number = [&](int range, int low) {
    return " " + std::to_string(static_cast<int>(rng() % range) - low);
  };
  for (const char* first : {"v 0 -0 0.5\n", "v nan 1 2\n", "v -0 0 -0\n"}) {
    std::string obj = first;
    for (int i = 0; i < 400; i++) obj += "v" + number(21, 10) + number(7, 3) + number(5, 0) + "\n";
    for (int i = 0; i < 700; i++) {
      const std::string corner = number(380, -1);
      obj += "f" + corner + number(380, -1) + (i % 9 ? number(380, -1) : corner) + "\n";
    }
    ModelPtr models[2];
    std::string said[2];  // the fit's scale, bit for bit, and what was printed
    for (int i = 0; i < 2; i++) {
      glmSetThreadLimit(3 * i + 1, true);
      models[i] = read_obj(obj);
      const float scale = glmFitToUnitCube(models[i].get());
      glmComputeFacetNormals(models[i].get());
      testing::internal::CaptureStderr();
      glmVertexNormals(models[i].get(), 73.0f);
      said[i] = std::string(reinterpret_cast<const char*>(&scale), 4) +
                testing::internal::GetCapturedStderr();
      glmSetThreadLimit(0);
    }
    const Model *a = models[0].get(), *b = models[1].get();
    EXPECT_EQ(said[0], said[1]);
    EXPECT_EQ(memcmp(a->vertices, b->vertices, 12 * (a->vertexcount + 1)), 0);
    EXPECT_EQ(memcmp(a->facetnorms, b->facetnorms, 12 * (a->facetnormcount + 1)), 0);
    ASSERT_EQ(a->normalcount, b->normalcount);
    EXPECT_EQ(memcmp(a->normals, b->normals, 12 * (a->normalcount + 1)), 0);
    EXPECT_EQ(memcmp(a->faces, b->faces, sizeof(ModelFace) * a->facecount), 0);
    for (uint32_t i = 0; i < a->facecount; i++) {  // facet normals as the vector helpers make them
      const float* p[3];
      for (int c = 0; c < 3; c++) p[c] = &a->vertices[3 * a->faces[i].vertexidx[c]];
      float u[3], v[3], n[3];
      for (int k = 0; k < 3; k++) u[k] = p[1][k] - p[0][k], v[k] = p[2][k] - p[0][k];
      glmCrossProduct(u, v, n);
      glmNormalizeVector(n);
      ASSERT_EQ(memcmp(n, &a->facetnorms[3 * (i + 1)], sizeof n), 0) << i;
    }
    std::vector<float> normals;
    std::vector<uint32_t> corners;
    plain_vertex_normals(a, 73.0f, &normals, &corners);
    ASSERT_EQ(normals.size(), 3 * (size_t(a->normalcount) + 1));
    EXPECT_EQ(memcmp(a->normals, normals.data(), 4 * normals.size()), 0);
    for (uint32_t i = 0; i < 3 * a->facecount; i++)
      ASSERT_EQ(a->faces[i / 3].normalidx[i % 3], corners[i]) << i;
  }
}
