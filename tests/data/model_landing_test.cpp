// Where the player's own geometry meets the models: the piano's key boxes,
// the drumsticks in every pose, the guitar's string lines and chord marker.
// The player positions are worked out here from its drawing transforms, and
// each model is read, fitted and checked as the player would load it.
#include <gtest/gtest.h>

#include <cmath>

#include "model_geometry.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

ModelPtr load_fitted(const char* name) {
  ModelPtr model = read_shipped(name);
  glmFitToUnitCube(model.get());
  return model;
}

// Rotation of p by degrees about axis, as glRotate turns it.
P3 rotate(P3 p, P3 axis, double degrees) {
  const double len = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  const P3 a = {axis.x / len, axis.y / len, axis.z / len};
  const double t = degrees * kPi / 180, c = std::cos(t), s = std::sin(t);
  const double d = (a.x * p.x + a.y * p.y + a.z * p.z) * (1 - c);
  const P3 x = {a.y * p.z - a.z * p.y, a.z * p.x - a.x * p.z, a.x * p.y - a.y * p.x};
  return {p.x * c + x.x * s + a.x * d, p.y * c + x.y * s + a.y * d, p.z * c + x.z * s + a.z * d};
}

const std::string& group_of(const Triangles& t, size_t face) { return t.group[face]; }

// Piano: the keys are drawn with the model's own rotation, so in the
// model's coordinates the white keys fill x -0.85..0.85, y 0.30..0.40,
// z 0.05..0.25 and the black keys reach up to y 0.42.
TEST(PianoLanding, KeysRestJustAboveTheKeybed) {
  ModelPtr model = load_fitted("piano.obj");
  const Triangles t = triangles_of(model.get());
  for (double x = -0.84; x <= 0.84; x += 0.04) {
    for (double z = 0.06; z <= 0.245; z += 0.045) {
      size_t face = 0;
      const double d = cast_ray(t, {x, 0.30, z}, {0, -1, 0}, &face);
      ASSERT_GE(d, 0) << "nothing under the key at x " << x << ", z " << z;
      EXPECT_LE(d, 0.01) << "x " << x << ", z " << z;
      EXPECT_EQ(group_of(t, face), "keybed") << "x " << x << ", z " << z;
    }
  }
}

TEST(PianoLanding, NothingStandsInTheKeys) {
  ModelPtr model = load_fitted("piano.obj");
  const Triangles t = triangles_of(model.get());
  int inside = 0;
  for (const auto& tri : t.corners)
    inside += overlaps_box(tri, {-0.85, 0.30, 0.05}, {0.85, 0.42, 0.25});
  EXPECT_EQ(inside, 0);
}

TEST(PianoLanding, CabinetRisesBehindTheKeysAndCheeksFlankThem) {
  ModelPtr model = load_fitted("piano.obj");
  const Triangles t = triangles_of(model.get());
  // Looking back over the keys meets the cabinet just behind them.
  const double behind = cast_ray(t, {0, 0.5, 0.3}, {0, 0, -1});
  EXPECT_GT(behind, 0.15);
  EXPECT_LT(behind, 0.35);
  // Looking along the keyboard from its middle meets a cheek at each end.
  for (double dir : {-1.0, 1.0}) {
    const double d = cast_ray(t, {0, 0.35, 0.15}, {dir, 0, 0});
    EXPECT_NEAR(d, 0.85, 0.01) << "towards " << dir;
  }
}

// Drum kit: drawn rotated 130 about x, then -90 about y, then moved by
// (-2.5, 0, 0), in the same frame as the sticks.
P3 stick_in_kit(double angle, double ax, double ay, double x, double y, double z, double along) {
  const P3 r = rotate({0, 0, along}, {ax, ay, 0}, angle);
  const P3 scene = {x + r.x, y + 2.0 + r.y, z + 1.8 + r.z};
  const P3 q = rotate(rotate(scene, {1, 0, 0}, -130), {0, 1, 0}, 90);
  return {q.x + 2.5, q.y, q.z};
}

struct StickPose {
  const char* name;
  double angle, ax, ay, x, y, z;
  const char* target;  // group the tip strikes, or null at rest
};

const StickPose kPoses[] = {{"left at rest", 90, 1, 0, 0, -0.2, 0.5, nullptr},
                            {"right at rest", 90, 1, 0, 0.1, -0.2, 0.5, nullptr},
                            {"tom", 135, 1, 0, -0.4, 0.3, 0.5, "tom_shell"},
                            {"snare", 135, 1, 0, 0.4, 0.3, 0.55, "snare_shell"},
                            {"hi-hat", 135, 1, 5, 0.4, 0.0, 1.0, "hihat_cymbals"},
                            {"crash", 135, 1, -5, -0.4, 0.0, 0.9, "crash_cymbal"}};

TEST(DrumLanding, StickTipsStrikeJustAboveTheirDrumsAndCymbals) {
  ModelPtr model = load_fitted("drum.obj");
  const Triangles t = triangles_of(model.get());
  for (const StickPose& p : kPoses) {
    if (!p.target) continue;
    const P3 tip = stick_in_kit(p.angle, p.ax, p.ay, p.x, p.y, p.z, 0.4);
    size_t face = 0;
    const double d = cast_ray(t, tip, {0, -1, 0}, &face);
    ASSERT_GE(d, 0) << p.name;
    EXPECT_GE(d, 0.012) << p.name << ": the tip sinks into the surface";
    EXPECT_LE(d, 0.03) << p.name << ": the tip hovers too high";
    EXPECT_EQ(group_of(t, face), p.target) << p.name;
  }
}

TEST(DrumLanding, SticksPassClearOfTheKit) {
  ModelPtr model = load_fitted("drum.obj");
  const Triangles t = triangles_of(model.get());
  for (const StickPose& p : kPoses) {
    double nearest = 1e9;
    for (int i = 0; i <= 40; i++)
      nearest = std::min(
          nearest, distance_to(t, stick_in_kit(p.angle, p.ax, p.ay, p.x, p.y, p.z, 0.4 * i / 40)));
    EXPECT_GT(nearest, 0.01) << p.name << " (the stick's radius is 0.01)";
  }
}

TEST(DrumLanding, BassDrumStandsOnTheFloorFacingTheAudience) {
  ModelPtr model = load_fitted("drum.obj");
  const Triangles t = triangles_of(model.get());
  // From the audience side (+x) at the kit's middle height the first thing
  // met is the bass drum's front.
  size_t face = 0;
  ASSERT_GE(cast_ray(t, {2, -0.35, 0}, {-1, 0, 0}, &face), 0);
  EXPECT_EQ(group_of(t, face).rfind("bass_drum", 0), 0u) << group_of(t, face);
  // The kit's lowest points are its feet on one floor.
  float dimensions[3];
  glmGetDimensions(model.get(), dimensions);
  double lowest = 1e9;
  for (const auto& tri : t.corners)
    for (const P3& c : tri) lowest = std::min(lowest, c.y);
  EXPECT_NEAR(lowest, -dimensions[1] / 2, 1e-5);
}

// Guitar: the front copy is drawn rotated -90 about x, then 90 about y,
// then moved by 2.5 along its z; its string set is moved by
// (1.6, -0.1, -0.02) in the scene and its chord marker sits at (2, 0, 0).
P3 scene_in_guitar(P3 scene) {
  const P3 q = rotate(rotate(scene, {1, 0, 0}, 90), {0, 1, 0}, -90);
  return {q.x, q.y, q.z - 2.5};
}

P3 string_in_guitar(int string, double along) {
  return scene_in_guitar({1.6 + along, -0.1, -0.02 + 0.01 * string});
}

TEST(GuitarLanding, StringsRunJustAboveTheGuitarAndOverTheSoundHole) {
  ModelPtr model = load_fitted("gita.obj");
  const Triangles t = triangles_of(model.get());
  for (int s = 0; s < 7; s++) {
    double hole_from = 9, hole_to = -9;
    for (double along = 0; along <= 1.5; along += 0.025) {
      const P3 p = string_in_guitar(s, along);
      EXPECT_LT(cast_ray(t, {p.x - 1e-4, p.y, p.z}, {1, 0, 0}), 0)
          << "something over string " << s << " at z " << p.z;
      size_t face = 0;
      const double d = cast_ray(t, p, {-1, 0, 0}, &face);
      ASSERT_GE(d, 0) << "nothing under string " << s << " at z " << p.z;
      if (d <= 0.04) continue;
      // Deeper only where the string crosses the sound hole, a well into
      // the body.
      EXPECT_EQ(group_of(t, face), "body") << "string " << s << " at z " << p.z;
      EXPECT_GT(d, 0.1) << "string " << s << " at z " << p.z;
      hole_from = std::min(hole_from, p.z);
      hole_to = std::max(hole_to, p.z);
    }
    EXPECT_GT(hole_to - hole_from, 0.1) << "string " << s << " misses the sound hole";
    EXPECT_LT(hole_to - hole_from, 0.2) << "string " << s;
  }
}

TEST(GuitarLanding, FretboardLiesJustUnderTheStringsFromTheNut) {
  ModelPtr model = load_fitted("gita.obj");
  const Triangles t = triangles_of(model.get());
  for (int s = 0; s < 7; s++) {
    for (double along = 0.01; along <= 0.89; along += 0.02) {
      const P3 p = string_in_guitar(s, along);
      ASSERT_NEAR(p.x, 0.1, 1e-9);
      size_t face = 0;
      const double d = cast_ray(t, p, {-1, 0, 0}, &face);
      ASSERT_GE(d, 0);
      EXPECT_LE(d, 0.01) << "string " << s << " at z " << p.z;
      const std::string& g = group_of(t, face);
      EXPECT_TRUE(g == "fretboard" || g == "frets") << g << " under z " << p.z;
    }
  }
  // Towards their far end the strings cross the saddle, just above it, and
  // end over the bridge.
  size_t face = 0;
  EXPECT_LE(cast_ray(t, string_in_guitar(3, 1.485), {-1, 0, 0}, &face), 0.005);
  EXPECT_EQ(group_of(t, face), "saddle");
  ASSERT_GE(cast_ray(t, string_in_guitar(3, 1.5), {-1, 0, 0}, &face), 0);
  EXPECT_EQ(group_of(t, face).rfind("bridge", 0), 0u) << group_of(t, face);
}

TEST(GuitarLanding, ChordMarkerShowsOnBothSidesOfTheNeck) {
  ModelPtr model = load_fitted("gita.obj");
  const Triangles t = triangles_of(model.get());
  // The marker, a ball of radius 0.1, is centred in the neck; seen from the
  // front (+x) its two sides across the neck must not be covered.
  const P3 m = scene_in_guitar({2, 0, 0});
  ASSERT_NEAR(m.x, 0, 1e-9);
  for (double y : {-0.08, 0.08}) {
    const double d = cast_ray(t, {1, m.y + y, m.z}, {-1, 0, 0});
    EXPECT_TRUE(d < 0 || d > 1.0) << "covered at y " << y << " (hit at x " << 1 - d << ")";
  }
  // ...while its middle is under the fretboard.
  size_t face = 0;
  ASSERT_GE(cast_ray(t, {1, m.y - 0.01, m.z}, {-1, 0, 0}, &face), 0);
  EXPECT_TRUE(group_of(t, face) == "fretboard" || group_of(t, face) == "frets")
      << group_of(t, face);
}

}  // namespace
