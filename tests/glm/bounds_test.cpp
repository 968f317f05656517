// Measuring, fitting, scaling, moving and rewinding a model.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_util.h"

TEST(BoundsFit, BoxAcrossZeroFillsTheCubeOnItsLongestAxis) {
  ModelPtr m = read_obj("v -1 -1 -1\nv 3 1 1\n");
  EXPECT_FLOAT_EQ(glmFitToUnitCube(m.get()), 0.5f);
  EXPECT_TRUE(TripleNear(m->vertices, 1, -1.0f, -0.5f, -0.5f));
  EXPECT_TRUE(TripleNear(m->vertices, 2, 1.0f, 0.5f, 0.5f));
  EXPECT_NEAR(glmFitToUnitCube(m.get()), 1.0f, 1e-6f);
  EXPECT_TRUE(TripleNear(m->vertices, 2, 1.0f, 0.5f, 0.5f));
}

TEST(BoundsFit, ExtentIsSumOfAbsoluteBoundsNotLength) {
  ModelPtr m = read_obj("v 2 -1 -1\nv 4 1 1\n");
  float dimensions[3];
  glmGetDimensions(m.get(), dimensions);
  EXPECT_EQ(dimensions[0], 6.0f);
  EXPECT_EQ(dimensions[1], 2.0f);
  EXPECT_EQ(dimensions[2], 2.0f);
  EXPECT_FLOAT_EQ(glmFitToUnitCube(m.get()), 1.0f / 3.0f);
  EXPECT_TRUE(TripleNear(m->vertices, 2, 1.0f / 3, 1.0f / 3, 1.0f / 3));
  // Now centred: a second fit stretches it to the whole cube.
  EXPECT_FLOAT_EQ(glmFitToUnitCube(m.get()), 3.0f);
  EXPECT_TRUE(TripleNear(m->vertices, 1, -1.0f, -1.0f, -1.0f, 1e-5f));
}

TEST(BoundsFit, SingleVertexMovesToTheOrigin) {
  ModelPtr m = read_obj("v 1 2 3\n");
  EXPECT_FLOAT_EQ(glmFitToUnitCube(m.get()), 1.0f / 3.0f);
  EXPECT_TRUE(TripleNear(m->vertices, 1, 0.0f, 0.0f, 0.0f));
}

TEST(BoundsFit, EmptyAndCollapsedModelsStayFinite) {
  ModelPtr empty = read_obj("# nothing\n");
  EXPECT_EQ(glmFitToUnitCube(empty.get()), 1.0f);
  float dimensions[3] = {-1, -1, -1};
  glmGetDimensions(empty.get(), dimensions);
  EXPECT_EQ(dimensions[0], 0.0f);

  ModelPtr origin = read_obj("v 0 0 0\nv 0 0 0\nv -0 0 0\nf 1 2 3\n");
  EXPECT_EQ(glmFitToUnitCube(origin.get()), 1.0f);
  for (int i = 3; i < 12; i++) EXPECT_TRUE(std::isfinite(origin->vertices[i])) << i;

  // 2 / 5e-39 overflows a float: the model is left where it is.
  ModelPtr tiny = read_obj("v 1e-39 0 0\nv 4e-39 0 0\n");
  EXPECT_EQ(glmFitToUnitCube(tiny.get()), 1.0f);
  EXPECT_EQ(tiny->vertices[3], 1e-39f);
  EXPECT_EQ(tiny->vertices[6], 4e-39f);
}

TEST(BoundsMove, ScaleAndTranslateTouchEveryVertexOnly) {
  ModelPtr m = read_obj("v 1 2 3\nv -1 0 1\nvn 0 0 1\n");
  glmScaleVertices(m.get(), 2.0f);
  const float offset[3] = {1.0f, -1.0f, 0.5f};
  glmTranslateVertices(m.get(), offset);
  EXPECT_TRUE(TripleNear(m->vertices, 1, 3.0f, 3.0f, 6.5f));
  EXPECT_TRUE(TripleNear(m->vertices, 2, -1.0f, -1.0f, 2.5f));
  EXPECT_TRUE(TripleNear(m->normals, 1, 0.0f, 0.0f, 1.0f));
}

static const char kTwoTriangles[] =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 0 2\nvn 0 0 3\n"
    "f 1/1/1 2/2/2 3/3/3\nf 2/2/2 4/1/1 3/3/3\n";

TEST(BoundsWinding, FlipReversesCornersAndNormalsAndTwiceRestores) {
  ModelPtr m = read_obj(kTwoTriangles);
  glmComputeFacetNormals(m.get());
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[0].vertexidx), (std::array<uint32_t, 3>{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[0].uvidx), (std::array<uint32_t, 3>{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[1].normalidx), (std::array<uint32_t, 3>{3, 1, 2}));
  EXPECT_TRUE(TripleNear(m->normals, 2, 0.0f, 0.0f, -2.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 1, 0.0f, 0.0f, -1.0f));
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[1].vertexidx), (std::array<uint32_t, 3>{2, 4, 3}));
  EXPECT_EQ(corners(m->faces[1].normalidx), (std::array<uint32_t, 3>{2, 1, 3}));
  EXPECT_TRUE(TripleNear(m->normals, 3, 0.0f, 0.0f, 3.0f));
  EXPECT_TRUE(TripleNear(m->facetnorms, 2, 0.0f, 0.0f, 1.0f));
}

TEST(BoundsWinding, IndicesWithoutTheirArrayAreLeftAlone) {
  ModelPtr m = read_obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  m->faces[0].normalidx[0] = 7;
  m->faces[0].uvidx[2] = 9;
  glmFlipWinding(m.get());
  EXPECT_EQ(corners(m->faces[0].vertexidx), (std::array<uint32_t, 3>{3, 2, 1}));
  EXPECT_EQ(corners(m->faces[0].normalidx), (std::array<uint32_t, 3>{7, 0, 0}));
  EXPECT_EQ(corners(m->faces[0].uvidx), (std::array<uint32_t, 3>{0, 0, 9}));
}
