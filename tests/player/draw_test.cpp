// Drawing in a real GLUT window: vertices and colours captured with GL
// feedback in the scene frame, and pixels read back.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"

namespace {

struct Vec {
  float x, y, z;
};

struct Primitive {
  GLenum kind;  // GL_POLYGON_TOKEN, GL_LINE_TOKEN, ...
  std::vector<Vec> points;
  std::vector<Vec> colors;
};

// Orthographic cube of half-width kRange in a 500x500 viewport: feedback's
// window coordinates map straight back to scene-frame coordinates.
const float kRange = 5.0f;

Vec sceneFromWindow(const float* w) {
  return {(w[0] / 250.0f - 1.0f) * kRange, (w[1] / 250.0f - 1.0f) * kRange,
          -(2.0f * w[2] - 1.0f) * kRange};
}

// Runs draw with identity matrices and lighting as the test chooses, and
// returns what OpenGL would have rasterised.
std::vector<Primitive> capture(void (*draw)(), bool lighting = false) {
  static std::vector<GLfloat> buffer(1 << 20);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-kRange, kRange, -kRange, kRange, -kRange, kRange);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (lighting)
    glEnable(GL_LIGHTING);
  else
    glDisable(GL_LIGHTING);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint count = glRenderMode(GL_RENDER);
  glEnable(GL_LIGHTING);

  std::vector<Primitive> result;
  const int stride = 7;  // x, y, z, r, g, b, a
  for (GLint i = 0; i < count;) {
    const GLenum token = static_cast<GLenum>(buffer[i++]);
    int n = 0;
    if (token == GL_POLYGON_TOKEN)
      n = static_cast<int>(buffer[i++]);
    else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
      n = 2;
    else if (token == GL_POINT_TOKEN)
      n = 1;
    Primitive p{token == GL_LINE_RESET_TOKEN ? GLenum(GL_LINE_TOKEN) : token, {}, {}};
    for (int v = 0; v < n; v++, i += stride) {
      p.points.push_back(sceneFromWindow(&buffer[i]));
      p.colors.push_back({buffer[i + 3], buffer[i + 4], buffer[i + 5]});
    }
    result.push_back(p);
  }
  return result;
}

Vec rotateX(Vec v, float degrees) {
  const double a = degrees * M_PI / 180.0;
  return {v.x, static_cast<float>(v.y * std::cos(a) - v.z * std::sin(a)),
          static_cast<float>(v.y * std::sin(a) + v.z * std::cos(a))};
}

// Rotation about a unit axis (Rodrigues), as glRotate turns a vector.
Vec rotate(Vec v, float degrees, Vec axis) {
  const double len = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  const double kx = axis.x / len, ky = axis.y / len, kz = axis.z / len;
  const double a = degrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
  const double dot = kx * v.x + ky * v.y + kz * v.z;
  const double cx = ky * v.z - kz * v.y, cy = kz * v.x - kx * v.z, cz = kx * v.y - ky * v.x;
  return {static_cast<float>(v.x * c + cx * s + kx * dot * (1 - c)),
          static_cast<float>(v.y * c + cy * s + ky * dot * (1 - c)),
          static_cast<float>(v.z * c + cz * s + kz * dot * (1 - c))};
}

::testing::AssertionResult Near(Vec got, Vec want, float tolerance = 2e-3f) {
  if (std::fabs(got.x - want.x) <= tolerance && std::fabs(got.y - want.y) <= tolerance &&
      std::fabs(got.z - want.z) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "(" << got.x << ", " << got.y << ", " << got.z << ") is not (" << want.x << ", "
         << want.y << ", " << want.z << ")";
}

std::vector<Primitive> ofKind(const std::vector<Primitive>& all, GLenum kind) {
  std::vector<Primitive> out;
  for (const Primitive& p : all)
    if (p.kind == kind) out.push_back(p);
  return out;
}

void freshState() {
  appState = AppState();
  initAppState();
}

class DrawTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "these tests need an X display";
    int argc = 1;
    char name[] = "player_draw_tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(500, 500);
    glutCreateWindow("player_draw_tests");
    glutDisplayFunc(display);
    initLighting();
    for (int i = 0; i < 20; i++) glutMainLoopEvent();
  }
  void SetUp() override {
    freshState();
    glViewport(0, 0, 500, 500);
  }
};

TEST_F(DrawTest, EmptySceneIsTheClearColour) {
  reshape(500, 500);
  display();
  // Mesa keeps the back buffer's contents across the swap.
  glReadBuffer(GL_BACK);
  unsigned char pixel[3] = {1, 2, 3};
  glReadPixels(250, 250, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 64);
  EXPECT_EQ(pixel[1], 64);
  EXPECT_EQ(pixel[2], 64);
}

TEST_F(DrawTest, PianoKeysTiltAboutXAndComeBack) {
  pressPianoKey(3);
  std::vector<Primitive> all = capture(drawPianoKeys);
  // Mesa feeds each four-cornered face back as two triangles, corners in an
  // order of its own: look for each corner in the pair.
  std::vector<Primitive> faces = ofKind(all, GL_POLYGON_TOKEN);
  ASSERT_EQ(faces.size(), 29u * 6u * 2u);
  auto corner = [&](size_t face, Vec want) {
    for (size_t t = face * 2; t < face * 2 + 2; t++)
      for (const Vec& p : faces[t].points)
        if (Near(p, want)) return true;
    return false;
  };
  // Six faces of 17 white keys, then (after the edges) 12 black ones.
  for (int i = 0; i < 17; i++) {
    const float angle = i == 3 ? 135.0f : 130.0f;
    const float x = appState.whiteKeyX[i];
    EXPECT_TRUE(corner(i * 6, rotateX({x, 0.3f, 0.05f}, angle))) << i;
    EXPECT_TRUE(corner(i * 6, rotateX({x + 0.1f, 0.4f, 0.05f}, angle))) << i;
    EXPECT_TRUE(corner(i * 6 + 1, rotateX({x, 0.3f, 0.25f}, angle))) << i;
    EXPECT_FALSE(corner(i * 6 + 1, rotateX({x, 0.3f, 0.05f}, angle))) << i;
    EXPECT_TRUE(Near(faces[i * 12].colors[0], {1, 1, 1})) << i;  // 10, clamped by feedback
  }
  for (int j = 0; j < 12; j++) {
    EXPECT_TRUE(corner((17 + j) * 6 + 1, rotateX({appState.blackKeyX[j], 0.42f, 0.17f}, 130))) << j;
    EXPECT_TRUE(Near(faces[(17 + j) * 12].colors[0], {0, 0, 0})) << j;
  }
  // Open strips: three segments per face, 29 keys.
  EXPECT_EQ(ofKind(all, GL_LINE_TOKEN).size(), 29u * 6u * 3u);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  resetTimer(1);
  faces = ofKind(capture(drawPianoKeys), GL_POLYGON_TOKEN);
  EXPECT_TRUE(corner(3 * 6, rotateX({appState.whiteKeyX[3], 0.3f, 0.05f}, 130)));
}

TEST_F(DrawTest, RowOfWhiteKeysSpansTheKeybed) {
  std::vector<Primitive> faces = ofKind(capture(drawPianoKeys), GL_POLYGON_TOKEN);
  float whiteMin = 9, whiteMax = -9, blackMin = 9, blackMax = -9;
  for (size_t f = 0; f < faces.size(); f++)
    for (const Vec& p : faces[f].points) {
      float& lo = f < 17 * 12 ? whiteMin : blackMin;
      float& hi = f < 17 * 12 ? whiteMax : blackMax;
      lo = std::fmin(lo, p.x);
      hi = std::fmax(hi, p.x);
    }
  EXPECT_NEAR(whiteMin, -0.85f, 2e-3f);
  EXPECT_NEAR(whiteMax, 0.85f, 2e-3f);
  EXPECT_NEAR(blackMin, -0.8f, 2e-3f);
  EXPECT_NEAR(blackMax, 0.8f, 2e-3f);
}

// Every vertex of the stick lies on a 0.01 cylinder of length 0.4 from base
// along dir, and both ends are reached.
void expectStick(const std::vector<Primitive>& polys, size_t from, size_t to, Vec base, Vec dir) {
  float tMin = 9, tMax = -9;
  for (size_t k = from; k < to; k++)
    for (const Vec& p : polys[k].points) {
      const Vec d{p.x - base.x, p.y - base.y, p.z - base.z};
      const float t = d.x * dir.x + d.y * dir.y + d.z * dir.z;
      const Vec r{d.x - t * dir.x, d.y - t * dir.y, d.z - t * dir.z};
      EXPECT_NEAR(std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z), 0.01f, 2e-3f);
      tMin = std::fmin(tMin, t);
      tMax = std::fmax(tMax, t);
    }
  EXPECT_NEAR(tMin, 0.0f, 2e-3f);
  EXPECT_NEAR(tMax, 0.4f, 2e-3f);
}

TEST_F(DrawTest, SticksHangAtRestAndSwingToStrike) {
  std::vector<Primitive> polys = ofKind(capture(drawDrumsticks), GL_POLYGON_TOKEN);
  ASSERT_FALSE(polys.empty());
  ASSERT_EQ(polys.size() % 2, 0u);
  const size_t half = polys.size() / 2;
  expectStick(polys, 0, half, {0, 1.8f, 2.3f}, {0, -1, 0});
  expectStick(polys, half, polys.size(), {0.1f, 1.8f, 2.3f}, {0, -1, 0});

  appState.shown[Drum] = 1;
  appState.leftStick = {135, 1, 0, -0.4f, 0.3f, 0.5f};  // drum
  appState.rightStick = {135, 1, 5, 0.4f, 0.0f, 1.0f};  // hi-hat
  polys = ofKind(capture(drawDrumsticks), GL_POLYGON_TOKEN);
  expectStick(polys, 0, half, {-0.4f, 2.3f, 2.3f}, {0, -0.70710678f, -0.70710678f});
  expectStick(polys, half, polys.size(), {0.4f, 2.0f, 2.8f}, rotate({0, 0, 1}, 135, {1, 5, 0}));
}

TEST_F(DrawTest, GuitarStringsAndTheFirstHeldChordsMarker) {
  std::vector<Primitive> all = capture(drawGuitarOverlays);
  std::vector<Primitive> lines = ofKind(all, GL_LINE_TOKEN);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_TRUE(ofKind(all, GL_POLYGON_TOKEN).empty());
  for (int k = 0; k < 14; k++) {
    const float x = k < 7 ? 1.6f : -3.4f;
    const float z = -0.02f + (k % 7) * 0.01f;
    EXPECT_TRUE(Near(lines[k].points[0], {x, -0.1f, z})) << k;
    EXPECT_TRUE(Near(lines[k].points[1], {x + 1.5f, -0.1f, z})) << k;
    EXPECT_TRUE(Near(lines[k].colors[0], {0.4f, 0.4f, 0.4f})) << k;
  }

  // Marker colours, clamped to 1 by feedback, and where the two spheres sit.
  struct Case {
    std::vector<int> held;
    Vec color;
  };
  const Case cases[] = {{{1}, {1, 0, 0}},    {{2, 5}, {0, 1, 0}}, {{5}, {0, 1, 1}},
                        {{6, 1}, {1, 0, 0}}, {{3}, {0, 0, 1}},    {{4}, {1, 1, 0}},
                        {{6}, {1, 0, 1}}};
  for (const Case& c : cases) {
    for (Flag& held : appState.chordHeld) held = 0;
    for (int k : c.held) appState.chordHeld[k - 1] = 1;
    std::vector<Primitive> polys = ofKind(capture(drawGuitarOverlays), GL_POLYGON_TOKEN);
    ASSERT_FALSE(polys.empty());
    ASSERT_EQ(polys.size() % 2, 0u);
    for (size_t p = 0; p < polys.size(); p++) {
      const float cx = p < polys.size() / 2 ? 2.0f : -3.0f;
      for (const Vec& v : polys[p].points) {
        EXPECT_NEAR(std::sqrt((v.x - cx) * (v.x - cx) + v.y * v.y + v.z * v.z), 0.1f, 2e-3f);
      }
      EXPECT_TRUE(Near(polys[p].colors[0], c.color)) << c.held[0];
    }
  }
}

TEST_F(DrawTest, AmMarkerNearTheFrontGuitarIsTheDimmer) {
  appState.chordHeld[0] = 1;
  std::vector<Primitive> polys = ofKind(capture(drawGuitarOverlays, true), GL_POLYGON_TOKEN);
  ASSERT_FALSE(polys.empty());
  float front = 0, back = 0;
  for (size_t p = 0; p < polys.size(); p++)
    (p < polys.size() / 2 ? front : back) += polys[p].colors[0].x;
  EXPECT_LT(front, back);
}

// A small model written and read as the menu would, fitted, with normals.
Model* loadTriangle() {
  char path[] = "/tmp/plinkar-draw-XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  const char text[] = "v -1 -1 0\nv 1 -1 0\nv 0 1 0\nf 1 2 3\n";
  EXPECT_EQ(write(fd, text, sizeof text - 1), static_cast<ssize_t>(sizeof text - 1));
  close(fd);
  Model* model = glmReadOBJ(path);
  unlink(path);
  glmFitToUnitCube(model);
  glmComputeFacetNormals(model);
  glmVertexNormals(model, 90.0f);
  return model;
}

Vec centroid(const Primitive& p) {
  Vec c{0, 0, 0};
  for (const Vec& v : p.points) c = {c.x + v.x, c.y + v.y, c.z + v.z};
  const float n = static_cast<float>(p.points.size());
  return {c.x / n, c.y / n, c.z / n};
}

TEST_F(DrawTest, ModelsInTheirPlacesAndSchemeColours) {
  Model* model = loadTriangle();
  glDisable(GL_CULL_FACE);
  appState.models[Piano] = appState.models[Drum] = appState.models[Guitar] = model;
  appState.drawMode = MODE_SMOOTH;
  appState.colorScheme[2] = 9;
  std::vector<Primitive> polys = ofKind(capture(drawInstrumentModels), GL_POLYGON_TOKEN);
  ASSERT_EQ(polys.size(), 4u);

  // The triangle's centroid is its origin's place less a third of its height.
  const Vec origin[4] = {{0, 0, 0}, {0, 1.9151f, 1.607f}, {2.5f, 0, 0}, {-2.5f, 0, 0}};
  const Vec color[4] = {
      {0.2f, 0.2f, 0.2f}, {0.4f, 0.2f, 0.2f}, {0.6f, 0.6f, 0.6f}, {0.3f, 0, 0.3f}};
  for (int k = 0; k < 4; k++) {
    const Vec c = centroid(polys[k]);
    EXPECT_NEAR(c.x, origin[k].x, 0.35f) << k;
    EXPECT_NEAR(c.y, origin[k].y, 0.35f) << k;
    EXPECT_NEAR(c.z, origin[k].z, 0.35f) << k;
    EXPECT_TRUE(Near(polys[k].colors[0], color[k])) << k;
  }
  // The piano is turned 130 degrees about x; fitting kept the apex at (0, 1, 0).
  EXPECT_TRUE(Near(polys[0].points[2], rotateX({0, 1, 0}, 130)));

  // Out of range: no colour of its own, the model keeps the current one.
  appState.colorScheme[0] = 12;
  appState.models[Drum] = appState.models[Guitar] = nullptr;
  glColor3f(0.5f, 0.25f, 0.125f);
  polys = ofKind(capture(drawInstrumentModels), GL_POLYGON_TOKEN);
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_TRUE(Near(polys[0].colors[0], {0.5f, 0.25f, 0.125f}));
  appState.models[Piano] = nullptr;
  glmDestroy(model);
}

TEST_F(DrawTest, CullingIsOffForGoodOnceThePianoKeysAreDrawn) {
  Model* model = loadTriangle();  // turned 130 degrees: it faces away
  appState.models[Piano] = model;
  appState.drawMode = MODE_SMOOTH;
  glEnable(GL_CULL_FACE);
  EXPECT_TRUE(ofKind(capture(drawInstrumentModels), GL_POLYGON_TOKEN).empty());
  drawPianoKeys();
  EXPECT_EQ(ofKind(capture(drawInstrumentModels), GL_POLYGON_TOKEN).size(), 1u);
  appState.models[Piano] = nullptr;
  glmDestroy(model);
}

}  // namespace
