// Drawing in a real GLUT window, read back with GL feedback in the scene frame.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "platform/glut_init.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"
#include "tests/support/files.h"

namespace {

struct Vec {
  float x, y, z;
};

struct Primitive {
  GLenum kind;  // GL_POLYGON_TOKEN, GL_LINE_TOKEN, ...
  std::vector<Vec> points, colors;
};

// Runs draw under an orthographic cube of half-width 5 in the 500x500 viewport,
// so feedback coordinates map straight back; returns primitives of one kind.
std::vector<Primitive> capture(void (*draw)(), GLenum kind, bool lighting = false) {
  static std::vector<GLfloat> buffer(1 << 20);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-5, 5, -5, 5, -5, 5);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint count = glRenderMode(GL_RENDER);
  glEnable(GL_LIGHTING);
  std::vector<Primitive> result;  // each vertex: x y z r g b a
  for (GLint i = 0; i < count;) {
    GLenum token = static_cast<GLenum>(buffer[i++]);
    const int n = token == GL_POLYGON_TOKEN ? int(buffer[i++]) : token == GL_POINT_TOKEN ? 1 : 2;
    if (token == GL_LINE_RESET_TOKEN) token = GL_LINE_TOKEN;
    Primitive p{token, {}, {}};
    for (const float* w = buffer.data() + i; w < buffer.data() + i + 7 * n; w += 7) {
      p.points.push_back({w[0] / 50 - 5, w[1] / 50 - 5, 5 - 10 * w[2]});
      p.colors.push_back({w[3], w[4], w[5]});
    }
    i += 7 * n;
    if (token == kind) result.push_back(p);
  }
  return result;
}

Vec rotateX(Vec v, float degrees) {
  const float c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180);
  return {v.x, v.y * c - v.z * s, v.y * s + v.z * c};
}

// Prints both points when they are apart.
testing::AssertionResult Near(Vec got, Vec want, float tolerance = 2e-3f) {
  if (std::fmax(std::fabs(got.x - want.x), std::fabs(got.y - want.y)) <= tolerance &&
      std::fabs(got.z - want.z) <= tolerance)
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within " << tolerance
         << " of (" << want.x << ", " << want.y << ", " << want.z << ")";
}

class DrawTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "these tests need an X display";
    initGlutOnce();
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(500, 500);
    glutCreateWindow("draw");
    glutDisplayFunc(display);
    initLighting();
    for (int i = 0; i < 20; i++) glutMainLoopEvent();
  }
  void SetUp() override {
    appState = AppState();
    initAppState();
    glViewport(0, 0, 500, 500);
  }
};

// Each key is a box tilted about x: six faces of two triangles each from Mesa.
TEST_F(DrawTest, PianoKeysAreBoxesThatTiltAboutXAndComeBack) {
  pressPianoKey(3);
  pressBlackKey(11);
  for (bool released : {false, true}) {
    if (released) resetTimer(1);
    const std::vector<Primitive> faces = capture(drawPianoKeys, GL_POLYGON_TOKEN);
    const std::vector<Primitive> edges = capture(drawPianoKeys, GL_LINE_TOKEN);
    ASSERT_EQ(faces.size(), 29u * 6 * 2);
    ASSERT_EQ(edges.size(), 29u * 6 * 3);  // open strips: three segments a face
    for (int k = 0; k < 29; k++) {
      SCOPED_TRACE(k);
      const bool white = k < 17;
      const float x = white ? appState.whiteKeyX[k] : appState.blackKeyX[k - 17];
      const float y = white ? 0.3f : 0.32f, depth = white ? 0.2f : 0.12f;
      const float angle = 130 + (!released && (k == 3 || k == 28) ? 5 : 0);
      std::set<int> sides;
      for (int f = 0; f < 6; f++) {
        int corners = 0;  // bit c: corner (x + 0.1 (c & 1), y + 0.1 (c & 2), 0.05 + depth (c & 4))
        for (const Primitive* p : {&faces[(k * 6 + f) * 2], &faces[(k * 6 + f) * 2 + 1]})
          for (const Vec& v : p->points)
            for (int c = 0; c < 8; c++)
              if (Near(v, rotateX({x + (c & 1) * 0.1f, y + (c >> 1 & 1) * 0.1f,
                                   0.05f + (c >> 2) * depth},
                                  angle)))
                corners |= 1 << c;
        sides.insert(corners);
      }
      EXPECT_EQ(sides, (std::set<int>{0x0f, 0xf0, 0x33, 0xcc, 0x55, 0xaa}));
      // Colours of 10 saturate: white keys with black edges, black with white.
      EXPECT_TRUE(Near(faces[k * 12].colors[0], white ? Vec{1, 1, 1} : Vec{0, 0, 0}));
      EXPECT_TRUE(Near(edges[k * 18].colors[0], white ? Vec{0, 0, 0} : Vec{1, 1, 1}));
    }
  }
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

// The stick's vertices lie on a 0.01 cylinder from base to base + 0.4 dir, ends reached.
void expectStick(const std::vector<Primitive>& polys, size_t from, Vec base, Vec dir) {
  float tMin = 9, tMax = -9;
  for (size_t k = from; k < from + polys.size() / 2; k++)
    for (const Vec& p : polys[k].points) {
      const Vec d{p.x - base.x, p.y - base.y, p.z - base.z};
      const float t = d.x * dir.x + d.y * dir.y + d.z * dir.z;
      const Vec r{d.x - t * dir.x, d.y - t * dir.y, d.z - t * dir.z};
      EXPECT_NEAR(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), 0.01f, 2e-3f);
      tMin = std::fmin(tMin, t), tMax = std::fmax(tMax, t);
    }
  EXPECT_NEAR(tMin, 0.0f, 2e-3f);
  EXPECT_NEAR(tMax, 0.4f, 2e-3f);
}

TEST_F(DrawTest, SticksHangAtRestAndSwingToStrike) {
  glDisable(GL_CULL_FACE);  // both sides: 10 slices, 3 stacks, quads as two triangles
  std::vector<Primitive> polys = capture(drawDrumsticks, GL_POLYGON_TOKEN);
  ASSERT_EQ(polys.size(), 2u * 10 * 3 * 2);
  expectStick(polys, 0, {0, 1.8f, 2.3f}, {0, -1, 0});
  expectStick(polys, 60, {0.1f, 1.8f, 2.3f}, {0, -1, 0});
  appState.leftStick = {135, 1, 0, -0.4f, 0.3f, 0.5f};  // drum
  appState.rightStick = {135, 1, 5, 0.4f, 0.0f, 1.0f};  // hi-hat
  polys = capture(drawDrumsticks, GL_POLYGON_TOKEN);
  expectStick(polys, 0, {-0.4f, 2.3f, 2.3f}, {0, -0.70711f, -0.70711f});
  // z turned 135 degrees about (1, 5, 0).
  expectStick(polys, 60, {0.4f, 2.0f, 2.8f}, {0.69338f, -0.13868f, -0.70711f});
}

TEST_F(DrawTest, GuitarStringsAndTheFirstHeldChordsMarker) {
  const std::vector<Primitive> lines = capture(drawGuitarOverlays, GL_LINE_TOKEN);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_TRUE(capture(drawGuitarOverlays, GL_POLYGON_TOKEN).empty());
  for (int k = 0; k < 14; k++) {
    const float x = k < 7 ? 1.6f : -3.4f, z = -0.02f + (k % 7) * 0.01f;
    EXPECT_TRUE(Near(lines[k].points[0], {x, -0.1f, z})) << k;
    EXPECT_TRUE(Near(lines[k].points[1], {x + 1.5f, -0.1f, z})) << k;
    EXPECT_TRUE(Near(lines[k].colors[0], {0.4f, 0.4f, 0.4f})) << k;
  }
  // Marker colours, clamped to 1 by feedback, on spheres at x = 2 and -3.
  const struct {
    int first, second;
    Vec color;
  } rows[] = {{1, 1, {1, 0, 0}}, {2, 5, {0, 1, 0}}, {5, 5, {0, 1, 1}}, {6, 1, {1, 0, 0}},
              {3, 3, {0, 0, 1}}, {4, 4, {1, 1, 0}}, {6, 6, {1, 0, 1}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    for (Flag& held : appState.chordHeld) held = 0;
    appState.chordHeld[row.first - 1] = appState.chordHeld[row.second - 1] = 1;
    const std::vector<Primitive> polys = capture(drawGuitarOverlays, GL_POLYGON_TOKEN);
    ASSERT_FALSE(polys.empty());
    ASSERT_EQ(polys.size() % 2, 0u);  // a sphere at each guitar
    for (size_t p = 0; p < polys.size(); p++) {
      const float cx = p < polys.size() / 2 ? 2.0f : -3.0f;
      for (const Vec& v : polys[p].points)
        EXPECT_NEAR(std::sqrt((v.x - cx) * (v.x - cx) + v.y * v.y + v.z * v.z), 0.1f, 2e-3f);
      EXPECT_TRUE(Near(polys[p].colors[0], row.color));
    }
  }
  // Lit, Am's marker near the front guitar is the dimmer one.
  for (Flag& held : appState.chordHeld) held = 0;
  appState.chordHeld[0] = 1;
  const std::vector<Primitive> polys = capture(drawGuitarOverlays, GL_POLYGON_TOKEN, true);
  float front = 0, back = 0;
  for (size_t p = 0; p < polys.size(); p++)
    (p < polys.size() / 2 ? front : back) += polys[p].colors[0].x;
  EXPECT_LT(front, back);
}

TEST_F(DrawTest, ModelsInTheirPlacesSchemeColoursProjectionAndLight) {
  Model* model = glmReadOBJ(writeFile("t.obj", "v -1 -1 0\nv 1 -1 0\nv 0 1 0\nf 1 2 3\n").c_str());
  glmFitToUnitCube(model);
  glmComputeFacetNormals(model);
  glmVertexNormals(model, 90.0f);
  appState.models[Piano] = appState.models[Drum] = appState.models[Guitar] = model;
  appState.drawMode = MODE_SMOOTH;
  appState.colorScheme[2] = 9;
  glDisable(GL_CULL_FACE);
  std::vector<Primitive> polys = capture(drawInstrumentModels, GL_POLYGON_TOKEN);
  ASSERT_EQ(polys.size(), 4u);
  const Vec origin[4] = {{0, 0, 0}, {0, 1.9151f, 1.607f}, {2.5f, 0, 0}, {-2.5f, 0, 0}};
  const Vec color[4] = {
      {0.2f, 0.2f, 0.2f}, {0.4f, 0.2f, 0.2f}, {0.6f, 0.6f, 0.6f}, {0.3f, 0, 0.3f}};
  for (int k = 0; k < 4; k++) {
    Vec c{0, 0, 0};
    for (const Vec& v : polys[k].points) c = {c.x + v.x / 3, c.y + v.y / 3, c.z + v.z / 3};
    EXPECT_TRUE(Near(c, origin[k], 0.35f)) << k;
    EXPECT_TRUE(Near(polys[k].colors[0], color[k])) << k;
  }
  // The piano is turned 130 degrees about x; fitting kept the apex at (0, 1, 0).
  EXPECT_TRUE(Near(polys[0].points[2], rotateX({0, 1, 0}, 130)));
  // Out of range: no colour of its own, the model keeps the current one.
  appState.colorScheme[0] = 12;
  appState.models[Drum] = appState.models[Guitar] = nullptr;
  glColor3f(0.5f, 0.25f, 0.125f);
  polys = capture(drawInstrumentModels, GL_POLYGON_TOKEN);
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_TRUE(Near(polys[0].colors[0], {0.5f, 0.25f, 0.125f}));
  appState.eyeZ = 0;  // a frame draws it too, seen from the origin
  appState.centerZ = -1;
  EXPECT_EQ(capture(display, GL_POLYGON_TOKEN).size(), 1u);
  appState.models[Piano] = nullptr;
  glmDestroy(model);
}

// 60 degrees high at the window's aspect: cot 30 degrees is 1.7320508.
TEST_F(DrawTest, AResizeSetsASixtyDegreeProjectionAtTheWindowsAspect) {
  reshape(800, 400);
  GLdouble m[16];
  glGetDoublev(GL_PROJECTION_MATRIX, m);
  EXPECT_NEAR(m[5], 1.7320508, 1e-6);
  EXPECT_NEAR(m[0], 1.7320508 / 2, 5e-7);
}

TEST_F(DrawTest, AResizeMakesTheWholeWindowTheViewport) {
  reshape(300, 200);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[2], 300);
  EXPECT_EQ(viewport[3], 200);
}

TEST_F(DrawTest, TheLightSitsAtTheEyeAndAMaterialReachesGL) {
  GLfloat p[4];
  glGetLightfv(GL_LIGHT0, GL_POSITION, p);
  EXPECT_EQ(std::vector<float>(p, p + 4), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  materialMenu(11);
  glGetMaterialfv(GL_FRONT, GL_SHININESS, p);
  EXPECT_EQ(p[0], 89.6f);
}

}  // namespace
