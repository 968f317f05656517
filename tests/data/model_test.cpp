// The shipped models as the player reads them: closed solids within budget,
// and where its keys, sticks and strings land, from its drawing transforms.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "glm/glm.h"

namespace {

struct P3 {
  double x, y, z;
  P3 operator-(P3 b) const { return {x - b.x, y - b.y, z - b.z}; }
};
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 cross(P3 a, P3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A shipped model read and fitted as the player does, with its triangles' groups.
struct Shipped {
  explicit Shipped(const std::string& name) {
    testing::internal::CaptureStdout();
    model.reset(glmReadOBJ((PLINKAR_SOURCE_DIR "/data/" + name).c_str()));
    printed = testing::internal::GetCapturedStdout();
    if (!model) return;
    glmFitToUnitCube(model.get());
    corners.resize(model->facecount);
    for (uint32_t i = 0; i < model->facecount; i++)
      for (int c = 0; c < 3; c++) {
        const float* p = &model->vertices[3 * model->faces[i].vertexidx[c]];
        corners[i][c] = {p[0], p[1], p[2]};
      }
    group.resize(model->facecount);
    for (const ModelGroup* g = model->grouplist; g; g = g->next) {
      std::string label = g->name;
      label.erase(0, label.find_first_not_of(' '));  // the reader keeps the blank after "g"
      for (uint32_t k = 0; k < g->facecount; k++) group[g->faceindices[k]] = label;
    }
  }
  std::unique_ptr<Model, decltype(&glmDestroy)> model{nullptr, glmDestroy};
  std::string printed;
  std::vector<std::array<P3, 3>> corners;
  std::vector<std::string> group;
};

// Distance to and group of the nearest triangle along unit dir (Moller-Trumbore); -1 if none.
using Hit = std::pair<double, std::string>;
Hit castRay(const Shipped& t, P3 origin, P3 dir) {
  Hit hit{-1, ""};
  for (size_t i = 0; i < t.corners.size(); i++) {
    const auto& c = t.corners[i];
    const P3 e1 = c[1] - c[0], e2 = c[2] - c[0], pv = cross(dir, e2);
    const double det = dot(e1, pv);
    if (std::fabs(det) < 1e-14) continue;
    const P3 tv = origin - c[0], qv = cross(tv, e1);
    const double u = dot(tv, pv) / det, v = dot(dir, qv) / det, d = dot(e2, qv) / det;
    if (u < 0 || u > 1 || v < 0 || u + v > 1 || d <= 0) continue;
    if (hit.first < 0 || d < hit.first) hit = {d, t.group[i]};
  }
  return hit;
}

TEST(ShippedModels, ReadCleanlyAsClosedOutwardSolidsWithinBudget) {
  const std::tuple<const char*, const char*, uint32_t> models[] = {
      // budget in triangles
      {"piano.obj", "piano.mtl", 12000},
      {"drum.obj", "drum.mtl", 16000},
      {"gita.obj", "gita.mtl", 6000}};
  for (const auto& [obj, mtl, budget] : models) {
    SCOPED_TRACE(obj);
    const Shipped t(obj);
    Model* model = t.model.get();
    ASSERT_TRUE(model);
    EXPECT_EQ(t.printed, "");
    EXPECT_STREQ(model->mtlfile, mtl);
    // Rounded parts need their segments: a model far under budget has lost some.
    EXPECT_LE(model->facecount, budget);
    EXPECT_GE(model->facecount, budget / 3);

    // Every group with faces uses a material its library defines, not the default.
    int groups = 0;
    for (const ModelGroup* g = model->grouplist; g; g = g->next) {
      if (g->facecount == 0) continue;  // the reader's empty "default" group
      groups++;
      ASSERT_LT(g->mtlindex, model->mtlcount) << g->name;
      EXPECT_NE(g->mtlindex, 0u) << g->name << " uses the built-in default material";
    }
    EXPECT_GE(groups, 8);

    // Each directed edge once, and its reverse once, within the part.
    std::map<std::tuple<std::string, uint32_t, uint32_t>, int> edges;
    for (uint32_t i = 0; i < model->facecount; i++)
      for (int c = 0; c < 3; c++)
        edges[{t.group[i], model->faces[i].vertexidx[c], model->faces[i].vertexidx[(c + 1) % 3]}]++;
    int bad = 0;
    for (const auto& [edge, count] : edges) {
      const auto reverse = edges.find({std::get<0>(edge), std::get<2>(edge), std::get<1>(edge)});
      bad += count != 1 || reverse == edges.end() || reverse->second != 1;
    }
    EXPECT_EQ(bad, 0);

    // Each part encloses a positive volume: outward winding.
    std::map<std::string, double> volume;
    for (size_t i = 0; i < t.corners.size(); i++)
      volume[t.group[i]] += dot(t.corners[i][0], cross(t.corners[i][1], t.corners[i][2]));
    for (const auto& [part, v] : volume) EXPECT_GT(v, 0) << part;
  }
}

// Rotation of p by degrees about axis, as glRotate turns it.
P3 rotate(P3 p, P3 axis, double degrees) {
  const double len = std::sqrt(dot(axis, axis)), t = degrees * M_PI / 180;
  const P3 a = {axis.x / len, axis.y / len, axis.z / len}, x = cross(a, p);
  const double c = std::cos(t), s = std::sin(t), d = dot(a, p) * (1 - c);
  return {p.x * c + x.x * s + a.x * d, p.y * c + x.y * s + a.y * d, p.z * c + x.z * s + a.z * d};
}

// In the piano's coordinates the white keys fill x -0.85..0.85, y 0.30..0.40,
// z 0.05..0.25; the black keys reach y 0.42.
TEST(PianoLanding, KeysRestOnTheKeybedBetweenCheeksWithTheCabinetBehind) {
  const Shipped piano("piano.obj");
  for (double x = -0.84; x <= 0.84; x += 0.04)
    for (double z = 0.06; z <= 0.245; z += 0.045) {
      SCOPED_TRACE(testing::Message() << "key at x " << x << ", z " << z);
      const auto [d, under] = castRay(piano, {x, 0.30, z}, {0, -1, 0});
      ASSERT_GE(d, 0) << "nothing under the key";
      EXPECT_LE(d, 0.01);
      EXPECT_EQ(under, "keybed");
    }
  // Looking back over the keys meets the cabinet just behind them.
  EXPECT_NEAR(castRay(piano, {0, 0.5, 0.3}, {0, 0, -1}).first, 0.25, 0.1);
  // Along the keys from their middle: nothing in the way, a cheek at each end.
  for (double y = 0.31; y < 0.42; y += 0.05)
    for (double z = 0.06; z < 0.25; z += 0.09)
      for (double dir : {-1.0, 1.0})
        EXPECT_NEAR(castRay(piano, {0, y, z}, {dir, 0, 0}).first, 0.85, 0.01) << y << " " << z;
}

// Drum kit: drawn rotated 130 about x, then -90 about y, then moved by
// (-2.5, 0, 0), in the same frame as the sticks.
P3 stickInKit(double angle, double ax, double ay, double x, double y, double z, double along) {
  const P3 r = rotate({0, 0, along}, {ax, ay, 0}, angle);
  const P3 scene = {x + r.x, y + 2.0 + r.y, z + 1.8 + r.z};
  const P3 q = rotate(rotate(scene, {1, 0, 0}, -130), {0, 1, 0}, 90);
  return {q.x + 2.5, q.y, q.z};
}

TEST(DrumLanding, StickTipsStrikeJustAboveTheirTargetsAndSticksPassClear) {
  const Shipped kit("drum.obj");
  const struct {
    const char* name;
    double angle, ax, ay, x, y, z;
    const char* target;  // group the tip strikes, or null at rest
  } poses[] = {{"left at rest", 90, 1, 0, 0, -0.2, 0.5, nullptr},
               {"right at rest", 90, 1, 0, 0.1, -0.2, 0.5, nullptr},
               {"tom", 135, 1, 0, -0.4, 0.3, 0.5, "tom_shell"},
               {"snare", 135, 1, 0, 0.4, 0.3, 0.55, "snare_shell"},
               {"hi-hat", 135, 1, 5, 0.4, 0.0, 1.0, "hihat_cymbals"},
               {"crash", 135, 1, -5, -0.4, 0.0, 0.9, "crash_cymbal"}};
  for (const auto& p : poses) {
    SCOPED_TRACE(p.name);
    // Along the stick, 0.4 long, and at its radius of 0.01 above and below: nothing.
    const P3 base = stickInKit(p.angle, p.ax, p.ay, p.x, p.y, p.z, 0),
             dir = stickInKit(p.angle, p.ax, p.ay, p.x, p.y, p.z, 1) - base;
    for (double dy : {-0.01, 0.0, 0.01}) {
      const double d = castRay(kit, {base.x, base.y + dy, base.z}, dir).first;
      EXPECT_TRUE(d < 0 || d > 0.4) << "the stick touches the kit at " << d;
    }
    if (!p.target) continue;
    const auto [d, group] =
        castRay(kit, stickInKit(p.angle, p.ax, p.ay, p.x, p.y, p.z, 0.4), {0, -1, 0});
    EXPECT_NEAR(d, 0.021, 0.009) << "the tip sinks in or hovers";
    EXPECT_EQ(group, p.target);
  }
  // From the audience side (+x) at middle height the bass drum's front is met first.
  const std::string front = castRay(kit, {2, -0.35, 0}, {-1, 0, 0}).second;
  EXPECT_EQ(front.rfind("bass_drum", 0), 0u) << front;
}

// Guitar: the front copy is drawn rotated -90 about x, then 90 about y, then
// moved by 2.5 along its z; its string set is moved by (1.6, -0.1, -0.02).
P3 stringInGuitar(int string, double along) {
  const P3 scene = {1.6 + along, -0.1, -0.02 + 0.01 * string};
  const P3 q = rotate(rotate(scene, {1, 0, 0}, 90), {0, 1, 0}, -90);
  return {q.x, q.y, q.z - 2.5};
}

TEST(GuitarLanding, StringsRunJustAboveFretboardAndSoundHole) {
  const Shipped t("gita.obj");
  for (int s = 0; s < 7; s++) {
    double hole_from = 9, hole_to = -9;
    for (double along = 0; along <= 1.5; along += 0.01) {
      const P3 p = stringInGuitar(s, along);
      SCOPED_TRACE(testing::Message() << "string " << s << " at z " << p.z);
      EXPECT_LT(castRay(t, {p.x - 1e-4, p.y, p.z}, {1, 0, 0}).first, 0) << "something over it";
      const auto [d, under] = castRay(t, p, {-1, 0, 0});
      ASSERT_GE(d, 0) << "nothing under it";
      if (along > 0.005 && along < 0.895) {  // from the nut, just over the fretboard
        EXPECT_LE(d, 0.01);
        EXPECT_TRUE(under == "fretboard" || under == "frets") << under;
      }
      if (d <= 0.04) continue;
      // Deeper only where it crosses the sound hole, a well into the body.
      EXPECT_EQ(under, "body");
      EXPECT_GT(d, 0.1);
      hole_from = std::fmin(hole_from, p.z);
      hole_to = std::fmax(hole_to, p.z);
    }
    EXPECT_NEAR(hole_to - hole_from, 0.15, 0.05) << "string " << s << " and the sound hole";
  }
}

}  // namespace
