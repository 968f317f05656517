// Drawing in an offscreen Mesa context, captured with OpenGL's feedback mode.
#include <GL/gl.h>
#include <GL/osmesa.h>

#include <functional>
#include <vector>

#include "test_util.h"

// x, y, z back in model units (identity matrices, 64x64 viewport).
struct Vertex {
  float x, y, z, rgba[4], s, t;
};
struct Primitive {
  bool line;  // a line segment of a loop, else a triangle
  std::vector<Vertex> vertices;
};

class Draw : public testing::Test {
 protected:
  void SetUp() override {
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    ASSERT_NE(context_, nullptr);
    ASSERT_TRUE(OSMesaMakeCurrent(context_, pixels_, GL_UNSIGNED_BYTE, 64, 64));
    glViewport(0, 0, 64, 64);
    glDisable(GL_CULL_FACE);
    // Two groups, each with a material; faces of "default" first in the file.
    model_ = read_obj(
        "mtllib m.mtl\nv 0 0 0\nv 0.5 0 0\nv 0 0.5 0\nv -0.5 0 0\nv 0 -0.5 0\nvt 0.25 0.75\n"
        "vn 0 0 1\nvn 0 0 0.5\nvn 0 0 0\nusemtl red\nf 1/1/1 2/1/2 3/1/3\ng top\nusemtl blue\n"
        "f 1/1/3 4/1/2 5/1/1\n",
        "newmtl red\nKd 1 0 0\nKa 0.5 0 0\nnewmtl blue\nKd 0 0 1\n");
  }
  void TearDown() override { OSMesaDestroyContext(context_); }

  static std::vector<Primitive> capture(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Primitive> primitives;
    for (GLint at = 0; at < used;) {
      const bool line = static_cast<GLint>(buffer[at++]) != GL_POLYGON_TOKEN;
      primitives.push_back({line, {}});
      for (GLint i = line ? 2 : static_cast<GLint>(buffer[at++]); i > 0; i--, at += 11) {
        const float* f = &buffer[at];
        primitives.back().vertices.push_back(
            {f[0] / 32 - 1, f[1] / 32 - 1, f[2] * 2 - 1, {f[3], f[4], f[5], f[6]}, f[7], f[8]});
      }
    }
    return primitives;
  }
  std::vector<Primitive> draw(unsigned mode) {
    return capture([&] { glmDraw(model_.get(), mode); });
  }

  OSMesaContext context_ = nullptr;
  unsigned char pixels_[64 * 64 * 4];
  ModelPtr model_;
};

TEST_F(Draw, NewestGroupFirstColourTracksDiffuseAndMaterialModeWins) {
  glEnable(GL_COLOR_MATERIAL);
  std::vector<Primitive> p = draw(0);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_FALSE(p[0].line);
  EXPECT_NEAR(p[0].vertices[1].x, -0.5f, 1e-5);  // group "top", created last, comes first
  EXPECT_NEAR(p[1].vertices[1].x, 0.5f, 1e-5);
  EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));  // untouched without colour mode
  glDisable(GL_COLOR_MATERIAL);
  p = draw(MODE_COLOR);
  EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
  EXPECT_FLOAT_EQ(p[0].vertices[0].rgba[0], 0.0f);  // blue, then red
  EXPECT_FLOAT_EQ(p[0].vertices[0].rgba[2], 1.0f);
  EXPECT_FLOAT_EQ(p[1].vertices[2].rgba[0], 1.0f);
  EXPECT_EQ(stdout_of([&] { draw(MODE_COLOR | MODE_MATERIAL); }),
            "glmDraw() warning: color and material render mode requested using only material "
            "mode.\n");
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
  GLfloat diffuse[4], ambient[4];  // the last group's: "default", red
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
  glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
  EXPECT_EQ(std::vector<float>(diffuse, diffuse + 4), (std::vector<float>{1, 0, 0, 1}));
  EXPECT_EQ(ambient[0], 0.5f);
  // A material that is no longer in the table draws as "default".
  glmLookupGroup(model_.get(), " top")->mtlindex = 9;
  EXPECT_FLOAT_EQ(draw(MODE_COLOR)[0].vertices[0].rgba[2], 0.8f);
}

// Lit along +z with a white material, a vertex's red is its normal's z.
TEST_F(Draw, SmoothSendsEachCornersNormalAndFlatTheFacets) {
  const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);  // by default white, along +z, no ambient
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
  std::vector<Primitive> smooth = draw(MODE_SMOOTH | MODE_TEXTURE);
  ASSERT_EQ(smooth.size(), 2u);
  for (int i = 0; i < 3; i++)  // normals 1, 2, 3: z 1, 0.5, 0
    EXPECT_NEAR(smooth[1].vertices[i].rgba[0], 1.0f - 0.5f * i, 1e-3);
  EXPECT_FLOAT_EQ(smooth[0].vertices[2].s, 0.25f);
  EXPECT_FLOAT_EQ(smooth[0].vertices[2].t, 0.75f);

  glmComputeFacetNormals(model_.get());  // both faces face +z
  std::vector<Primitive> flat;
  EXPECT_EQ(stdout_of([&] { flat = draw(MODE_FLAT | MODE_SMOOTH); }),
            "glmDraw() warning: flat render mode requested and smooth render mode requested "
            "(using smooth).\n");
  EXPECT_NEAR(flat[1].vertices[2].rgba[0], 0.0f, 1e-3);  // drawn smooth
  for (const Primitive& p : draw(MODE_FLAT))
    for (const Vertex& v : p.vertices) EXPECT_NEAR(v.rgba[0], 1.0f, 1e-3);
}

TEST_F(Draw, MissingAttributesWarnInOrderAndDrawWhatIsThere) {
  model_ = read_obj("v 0 0 0\nv 0.5 0 0\nv 0 0.5 0\nf 1 2 3\n");
  std::vector<Primitive> p;
  EXPECT_EQ(stdout_of([&] {
              p = draw(MODE_FLAT | MODE_SMOOTH | MODE_TEXTURE | MODE_COLOR | MODE_MATERIAL);
            }),
            "glmDraw() warning: flat render mode requested with no facet normals defined.\n"
            "glmDraw() warning: smooth render mode requested with no normals defined.\n"
            "glmDraw() warning: texture render mode requested with no texture coordinates "
            "defined.\n"
            "glmDraw() warning: color render mode requested with no materials defined.\n"
            "glmDraw() warning: material render mode requested with no materials defined.\n");
  EXPECT_EQ(p.size(), 1u);
}

TEST_F(Draw, WireframeClosesEachLoopAndACompiledListDrawsTheSame) {
  std::vector<Primitive> p = draw(MODE_WIREFRAME);
  ASSERT_EQ(p.size(), 6u);  // three segments per triangle
  for (const Primitive& segment : p) EXPECT_TRUE(segment.line);
  EXPECT_NEAR(p[2].vertices[1].x, p[0].vertices[0].x, 1e-5);  // the loop closes
  EXPECT_NEAR(p[2].vertices[1].y, p[0].vertices[0].y, 1e-5);
  GLuint list = 0;
  EXPECT_NE(stdout_of([&] { list = glmCompileList(model_.get(), MODE_SMOOTH | MODE_FLAT); }), "");
  ASSERT_NE(list, 0u);
  std::vector<Primitive> called;
  EXPECT_EQ(stdout_of([&] { called = capture([&] { glCallList(list); }); }), "");
  std::vector<Primitive> direct = draw(MODE_SMOOTH);
  ASSERT_EQ(called.size(), direct.size());
  EXPECT_FLOAT_EQ(called[0].vertices[1].x, direct[0].vertices[1].x);
  glDeleteLists(list, 1);
}
