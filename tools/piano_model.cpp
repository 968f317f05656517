// piano_model.cpp: an upright piano around the player's 29 key boxes.
#include "instrument_models.h"

void span_box(Mesh& mesh, double x0, double x1, double y0, double y1, double z0, double z1,
              double bevel) {
  box(mesh, frame_at({(x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2}),
      {(x1 - x0) / 2, (y1 - y0) / 2, (z1 - z0) / 2}, bevel);
}

namespace {

// Heights: floor -0.85, keybed top 0.297 (keys rest on y 0.30), lid 0.85.
constexpr double kFloor = -0.85, kTop = 0.85;
constexpr double kKeybedTop = 0.297;
// Depth: back -0.27 to the front of the cheeks and keybed at 0.27; the keys
// reach from z 0.05 to 0.25, so nothing stands in front of z 0.05 between
// y 0.30 and 0.42 over the keys' width.
constexpr double kBack = -0.27, kFront = 0.27;

// A turned front leg under a cheek: base, long shaft, a bulb below the
// keybed and a collar where it meets it.
void leg(Mesh& mesh, double x, double z, double y0, double y1) {
  const double h = y1 - y0;
  const Profile profile = {{0, 0},
                           {0.034, 0},
                           {0.036, 0.02 * h},
                           {0.030, 0.06 * h},
                           {0.024, 0.12 * h},
                           {0.026, 0.45 * h},
                           {0.034, 0.62 * h},
                           {0.046, 0.74 * h},
                           {0.040, 0.84 * h},
                           {0.028, 0.90 * h},
                           {0.036, 0.95 * h},
                           {0.036, h},
                           {0, h}};
  lathe(mesh, frame_at({x, y0, z}), profile, 20);
}

}  // namespace

ModelData piano_model() {
  ModelData m;
  m.name = "piano";
  m.materials = {{"walnut", {0.30, 0.16, 0.08}, {0.10, 0.05, 0.03}, {0.35, 0.30, 0.25}, 300},
                 {"ebony", {0.05, 0.04, 0.04}, {0.02, 0.02, 0.02}, {0.50, 0.50, 0.50}, 500},
                 {"brass", {0.78, 0.57, 0.11}, {0.33, 0.22, 0.03}, {0.99, 0.94, 0.81}, 220}};

  // Cabinet: the carcass, two side panels reaching the floor and the lid
  // overhanging them (faces never coincide, so nothing flickers).
  span_box(part(m, "carcass", "walnut"), -0.94, 0.94, -0.82, 0.80, -0.26, -0.02, 0.01);
  for (int side = -1; side <= 1; side += 2) {
    Mesh& panel = part(m, side < 0 ? "side_left" : "side_right", "walnut");
    span_box(panel, side < 0 ? -0.99 : 0.93, side < 0 ? -0.93 : 0.99, kFloor, 0.80, kBack + 0.006,
             0.05, 0.012);
  }
  span_box(part(m, "lid", "walnut"), -1.0, 1.0, 0.80, kTop, kBack, 0.08, 0.015);

  // Front above the keys: the upper board with a raised panel and a music
  // shelf, the fallboard rolled back over the key ends, and the rail the
  // keys disappear under.
  span_box(part(m, "upper_board", "walnut"), -0.93, 0.93, 0.45, 0.80, -0.03, 0.03, 0.01);
  span_box(part(m, "upper_panel", "walnut"), -0.72, 0.72, 0.58, 0.76, 0.02, 0.045, 0.008);
  span_box(part(m, "music_shelf", "walnut"), -0.60, 0.60, 0.525, 0.55, 0.0, 0.085, 0.006);
  span_box(part(m, "fallboard", "ebony"), -0.852, 0.852, 0.435, 0.515, -0.01, 0.10, 0.018);
  span_box(part(m, "name_rail", "ebony"), -0.852, 0.852, kKeybedTop - 0.02, 0.45, -0.02, 0.045,
           0.006);

  // Keybed under the keys and the cheeks at both ends of the keyboard.
  span_box(part(m, "keybed", "walnut"), -0.94, 0.94, 0.20, kKeybedTop, -0.02, kFront - 0.005,
           0.006);
  for (int side = -1; side <= 1; side += 2) {
    Mesh& cheek = part(m, side < 0 ? "cheek_left" : "cheek_right", "walnut");
    span_box(cheek, side < 0 ? -0.94 : 0.852, side < 0 ? -0.852 : 0.94, 0.19, 0.47, -0.02, kFront,
             0.016);
  }

  // Below the keybed: a raised lower panel, turned legs on toe blocks, and
  // three pedals coming out of their box at the floor.
  span_box(part(m, "lower_panel", "walnut"), -0.78, 0.78, -0.66, 0.12, -0.03, 0.0, 0.008);
  span_box(part(m, "plinth", "walnut"), -0.93, 0.93, kFloor, -0.78, -0.26, 0.0, 0.008);
  for (int side = -1; side <= 1; side += 2) {
    const double x = side * 0.896;
    Mesh& toe = part(m, side < 0 ? "toe_left" : "toe_right", "walnut");
    span_box(toe, x - 0.044, x + 0.044, kFloor, -0.79, -0.02, kFront, 0.01);
    leg(part(m, side < 0 ? "leg_left" : "leg_right", "walnut"), x, 0.20, -0.79, 0.20);
  }
  span_box(part(m, "pedal_box", "walnut"), -0.17, 0.17, -0.78, -0.66, -0.03, 0.03, 0.01);
  Mesh& pedals = part(m, "pedals", "brass");
  for (int i = -1; i <= 1; i++) {
    const double x = i * 0.09;
    span_box(pedals, x - 0.024, x + 0.024, -0.75, -0.728, -0.02, 0.17, 0.006);
  }
  return m;
}
