// drum_model.cpp: a drum kit laid out around the player's two drumsticks.
// The player draws the kit rotated and moved in its scene; the striking
// poses of the sticks, brought into the kit's own coordinates, give the
// points the tom, snare, hi-hat and crash must sit just under.
#include <cmath>

#include "instrument_models.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFloor = -0.72, kTop = 0.72;
constexpr double kHeadGap = 0.02;  // stick tip above a drum head or cymbal

// Rotation of p by degrees about axis, as glRotate does it.
Vec rotate(Vec p, Vec axis, double degrees) {
  const Vec a = unit(axis);
  const double t = degrees * kPi / 180, c = std::cos(t), s = std::sin(t);
  return p * c + cross(a, p) * s + a * (dot(a, p) * (1 - c));
}

// Point at distance along a stick drawn from (x, y + 2, z + 1.8) after
// turning by angle about (ax, ay, 0), in the kit's coordinates (the tip is
// 0.4 along). The kit is drawn rotated 130 about x, then -90 about y, then
// moved by (-2.5, 0, 0); this undoes that.
struct StickPose {
  double angle, ax, ay, x, y, z;
};
Vec stick_point(const StickPose& p, double along) {
  const Vec scene =
      Vec{p.x, p.y + 2.0, p.z + 1.8} + rotate({0, 0, along}, {p.ax, p.ay, 0}, p.angle);
  const Vec q = rotate(rotate(scene, {1, 0, 0}, -130), {0, 1, 0}, 90);
  return q + Vec{2.5, 0, 0};
}

// Level direction of a stick from the hand to the tip.
Vec heading(const StickPose& p) {
  Vec d = stick_point(p, 0.4) - stick_point(p, 0);
  d.y = 0;
  return unit(d);
}

// A drum along the frame's y axis, batter head at +y: the shell with both
// heads, a hoop at each end standing just proud of its head, and lugs.
void drum(ModelData& m, const std::string& name, const Frame& f, double radius, double depth,
          int lugs, bool lugs_at_ends, int segments) {
  const double r = radius, hd = depth / 2, e = 0.006, sp = 0.012;
  lathe(part(m, name + "_shell", "drum_shell"), f,
        {{0, -hd},
         {r - 0.04, -hd},
         {r - e, -hd},
         {r, -hd + e},
         {r, -hd + e + sp},
         {r, hd - e - sp},
         {r, hd - e},
         {r - e, hd},
         {r - 0.04, hd},
         {0, hd}},
        segments);
  Mesh& hoops = part(m, name + "_hoops", "chrome");
  for (int end = -1; end <= 1; end += 2) {
    Profile hoop = {
        {r - 0.004, hd - 0.018}, {r + 0.012, hd - 0.018}, {r + 0.012, hd + 0.008}, {r, hd + 0.008}};
    for (auto& p : hoop) p.second *= end;
    lathe(hoops, f, hoop, segments, true);
  }
  Mesh& lug_mesh = part(m, name + "_lugs", "chrome");
  for (int k = 0; k < lugs; k++) {
    const double a = 2 * kPi * (k + 0.5) / lugs;
    const Vec out = f.u * std::cos(a) + f.w * std::sin(a);
    for (int end = -1; end <= 1; end += 2) {
      if (!lugs_at_ends && end < 0) continue;
      const double h = lugs_at_ends ? end * (hd - 0.07) : 0;
      Frame lug;
      lug.o = place(f, {0, h, 0}) + out * (r + 0.008);
      lug.u = out;
      lug.v = f.v;
      lug.w = cross(out, f.v);
      box(lug_mesh, lug, {0.009, lugs_at_ends ? 0.03 : 0.35 * hd, 0.009});
    }
  }
}

// Three legs from a hub down to rubber feet on the floor, and a collar.
void tripod(Mesh& mesh, double x, double z, double hub_y, double spread, double phase) {
  lathe(mesh, frame_at({x, hub_y - 0.02, z}),
        {{0, 0}, {0.018, 0}, {0.02, 0.008}, {0.02, 0.032}, {0.018, 0.04}, {0, 0.04}}, 12);
  for (int k = 0; k < 3; k++) {
    const double a = phase + 2 * kPi * k / 3;
    const Vec foot = {x + spread * std::cos(a), kFloor + 0.012, z + spread * std::sin(a)};
    rod(mesh, {x, hub_y, z}, foot, 0.007, 8);
    box(mesh, frame_at(foot - Vec{0, 0.006, 0}), {0.014, 0.006, 0.014});
  }
}

// A cymbal lying flat, centred on (x, z), its edge's top at height edge.
// Bell, a bow rising to it at a slope of 0.12, and an even thickness; flip
// turns it over (the lower hi-hat cymbal).
constexpr double kBowSlope = 0.12, kBellHeight = 0.02, kThickness = 0.004;
void cymbal(Mesh& mesh, double x, double z, double edge, double radius, bool flip) {
  const double rb = 0.3 * radius, bow = (radius - rb) * kBowSlope;
  const double s = flip ? -1 : 1;
  auto on_bow = [&](double rho) { return std::make_pair(rho, (radius - rho) * kBowSlope); };
  const Profile top = {{0, bow + kBellHeight},
                       {0.5 * rb, bow + 0.92 * kBellHeight},
                       {0.85 * rb, bow + 0.55 * kBellHeight},
                       {rb, bow + 0.15 * kBellHeight},
                       on_bow(1.15 * rb),
                       on_bow(radius)};
  Profile profile;
  for (const auto& p : top) profile.push_back({p.first, s * p.second});
  for (auto p = top.rbegin(); p != top.rend(); ++p)
    profile.push_back({p->first, s * (p->second - kThickness)});
  lathe(mesh, frame_at({x, edge, z}), profile, 64);
}

// Edge height that puts the top of a cymbal just under a tip landing at
// distance d from its centre.
double cymbal_edge(double tip_y, double radius, double d) {
  return tip_y - kHeadGap - (radius - d) * kBowSlope;
}

}  // namespace

ModelData drum_model() {
  ModelData m;
  m.name = "drum";
  m.materials = {{"drum_shell", {0.55, 0.08, 0.08}, {0.20, 0.03, 0.03}, {0.60, 0.60, 0.60}, 400},
                 {"chrome", {0.40, 0.40, 0.40}, {0.25, 0.25, 0.25}, {0.77, 0.77, 0.77}, 600},
                 {"bronze", {0.71, 0.43, 0.18}, {0.21, 0.13, 0.05}, {0.39, 0.27, 0.17}, 200},
                 {"rubber", {0.05, 0.05, 0.05}, {0.02, 0.02, 0.02}, {0.20, 0.20, 0.20}, 80}};

  const StickPose tom_hit = {135, 1, 0, -0.4, 0.3, 0.5}, snare_hit = {135, 1, 0, 0.4, 0.3, 0.55};
  const StickPose hihat_hit = {135, 1, 5, 0.4, 0.0, 1.0}, crash_hit = {135, 1, -5, -0.4, 0.0, 0.9};
  const Vec tom_tip = stick_point(tom_hit, 0.4), snare_tip = stick_point(snare_hit, 0.4);
  const Vec hihat_tip = stick_point(hihat_hit, 0.4), crash_tip = stick_point(crash_hit, 0.4);

  // Snare and tom: the tip lands 0.08 in from the centre on the drummer's
  // side, the head 0.02 below it, the hoop only 0.008 proud of the head so
  // the nearly level stick clears it.
  const double snare_r = 0.17, snare_depth = 0.14;
  const Vec snare = {snare_tip.x + 0.08, snare_tip.y - kHeadGap - snare_depth / 2, snare_tip.z};
  drum(m, "snare", frame_at(snare), snare_r, snare_depth, 8, false, 48);
  Mesh& snare_stand = part(m, "snare_stand", "chrome");
  const double snare_bottom = snare.y - snare_depth / 2;
  tripod(snare_stand, snare.x, snare.z, -0.48, 0.17, kPi / 3);
  rod(snare_stand, {snare.x, -0.52, snare.z}, {snare.x, snare_bottom - 0.04, snare.z}, 0.011, 12);
  for (int k = 0; k < 3; k++) {
    const double a = kPi / 3 + 2 * kPi * k / 3;
    const Vec rim = {snare.x + 0.9 * snare_r * std::cos(a), snare_bottom - 0.026,
                     snare.z + 0.9 * snare_r * std::sin(a)};
    rod(snare_stand, {snare.x, snare_bottom - 0.05, snare.z}, rim, 0.005, 8);
  }

  const double tom_r = 0.16, tom_depth = 0.2;
  const Vec tom = {tom_tip.x + 0.08, tom_tip.y - kHeadGap - tom_depth / 2, tom_tip.z};
  drum(m, "tom", frame_at(tom), tom_r, tom_depth, 6, false, 48);

  // Floor tom at the drummer's right, on three legs.
  const double floor_r = 0.19, floor_depth = 0.36;
  const Vec floor_tom = {0.06, 0.20 - floor_depth / 2, 0.64};
  drum(m, "floor_tom", frame_at(floor_tom), floor_r, floor_depth, 8, false, 48);
  Mesh& floor_legs = part(m, "floor_tom_legs", "chrome");
  for (int k = 0; k < 3; k++) {
    const double a = kPi / 6 + 2 * kPi * k / 3;
    const Vec out = {std::cos(a), 0, std::sin(a)};
    const Vec top = floor_tom + out * (floor_r + 0.03) + Vec{0, floor_depth / 2 - 0.09, 0};
    const Vec foot = floor_tom + out * (floor_r + 0.07);
    box(floor_legs, frame_along(top - out * 0.012, out), {0.012, 0.014, 0.02});
    rod(floor_legs, top + Vec{0, 0.03, 0}, {foot.x, kFloor + 0.012, foot.z}, 0.007, 8);
    box(floor_legs, frame_at({foot.x, kFloor + 0.006, foot.z}), {0.014, 0.006, 0.014});
  }

  // Hi-hat on the drummer's left and crash on the right, both level. The
  // centres lie beyond the tips along the sticks' heading, so the sticks
  // come in over the edge and never reach the rod; the far edges are the
  // ends of the kit across (z -1 and 1).
  const double hihat_r = 0.2, crash_r = 0.24;
  auto centre_beyond = [](Vec tip, Vec heading, double z) {
    const double d = (z - tip.z) / heading.z;
    return Vec{tip.x + heading.x * d, d, z};  // y holds the distance
  };
  const Vec hh = centre_beyond(hihat_tip, heading(hihat_hit), -1 + hihat_r);
  const Vec cr = centre_beyond(crash_tip, heading(crash_hit), 1 - crash_r);

  const double hh_edge = cymbal_edge(hihat_tip.y, hihat_r, hh.y);
  Mesh& hihat = part(m, "hihat_cymbals", "bronze");
  cymbal(hihat, hh.x, hh.z, hh_edge, hihat_r, false);
  const double low_edge = hh_edge - kThickness - 0.01;
  cymbal(hihat, hh.x, hh.z, low_edge, hihat_r, true);
  Mesh& hh_stand = part(m, "hihat_stand", "chrome");
  tripod(hh_stand, hh.x, hh.z, -0.46, 0.16, kPi / 2.5);
  const double low_bell = low_edge - (hihat_r * 0.7) * kBowSlope - kBellHeight;
  rod(hh_stand, {hh.x, -0.5, hh.z}, {hh.x, low_bell - 0.05, hh.z}, 0.012, 12);
  lathe(hh_stand, frame_at({hh.x, low_bell - 0.06, hh.z}),
        {{0, 0}, {0.004, 0}, {0.004, kTop - (low_bell - 0.06)}, {0, kTop - (low_bell - 0.06)}}, 8);
  const double top_bell = hh_edge + hihat_r * 0.7 * kBowSlope + kBellHeight;
  lathe(hh_stand, frame_at({hh.x, top_bell + 0.004, hh.z}),
        {{0, 0}, {0.014, 0}, {0.016, 0.006}, {0.016, 0.016}, {0.012, 0.02}, {0, 0.02}}, 12);
  {
    const Vec dir = unit({-0.87, 0, 0.5});
    Frame board;
    board.o = Vec{hh.x, kFloor + 0.03, hh.z} + dir * 0.13;
    board.u = dir;
    board.v = {0, 1, 0};
    board.w = cross(dir, board.v);
    box(hh_stand, board, {0.1, 0.008, 0.035}, 0.004);
  }

  const double cr_edge = cymbal_edge(crash_tip.y, crash_r, cr.y);
  cymbal(part(m, "crash_cymbal", "bronze"), cr.x, cr.z, cr_edge, crash_r, false);
  Mesh& cr_stand = part(m, "crash_stand", "chrome");
  tripod(cr_stand, cr.x, cr.z, -0.46, 0.17, kPi / 5);
  const double cr_under = cr_edge + crash_r * 0.7 * kBowSlope + kBellHeight - kThickness;
  rod(cr_stand, {cr.x, -0.5, cr.z}, {cr.x, cr_under - 0.06, cr.z}, 0.012, 12);
  box(cr_stand, frame_at({cr.x, cr_under - 0.045, cr.z}), {0.018, 0.018, 0.014}, 0.004);
  rod(cr_stand, {cr.x, cr_under - 0.03, cr.z}, {cr.x, cr_under + 0.03, cr.z}, 0.004, 8);
  lathe(cr_stand, frame_at({cr.x, cr_under + kThickness + 0.002, cr.z}),
        {{0, 0}, {0.012, 0}, {0.012, 0.008}, {0.007, 0.016}, {0, 0.016}}, 12);

  // Bass drum in front, lying along x, resting on its hoops. Its front
  // hoop matches the kit's far end behind the drummer, so the kit is
  // centred.
  Vec min, max;
  bounds(m, &min, &max);
  const double bass_r = 0.31, bass_depth = 0.5;
  const double front = -min.x;
  const Vec bass = {front - 0.008 - bass_depth / 2, kFloor + bass_r + 0.012, 0};
  drum(m, "bass_drum", frame_along(bass, {1, 0, 0}), bass_r, bass_depth, 8, true, 64);
  Mesh& spurs = part(m, "bass_drum_spurs", "chrome");
  for (int side = -1; side <= 1; side += 2) {
    const double a = 25 * kPi / 180;
    const Vec at = {bass.x + bass_depth / 2 - 0.12, bass.y - bass_r * std::sin(a) + 0.01,
                    side * (bass_r * std::cos(a) + 0.01)};
    rod(spurs, at, {at.x + 0.02, kFloor + 0.012, side * 0.42}, 0.008, 8);
    box(spurs, frame_at({at.x + 0.02, kFloor + 0.006, side * 0.42}), {0.014, 0.006, 0.014});
  }

  // Pedal behind the drum: footboard, frame and beater on the batter head.
  Mesh& pedal = part(m, "bass_drum_pedal", "chrome");
  const double rear = bass.x - bass_depth / 2 - 0.008;
  box(pedal, frame_at({rear - 0.15, kFloor + 0.006, 0}), {0.13, 0.006, 0.05});
  {
    Frame board;
    board.o = {rear - 0.16, kFloor + 0.04, 0};
    board.u = unit({1, 0.22, 0});
    board.v = cross(Vec{0, 0, 1}, board.u);
    board.w = {0, 0, 1};
    box(pedal, board, {0.11, 0.008, 0.035}, 0.004);
  }
  for (int side = -1; side <= 1; side += 2)
    rod(pedal, {rear - 0.04, kFloor + 0.01, side * 0.055},
        {rear - 0.04, kFloor + 0.16, side * 0.055}, 0.008, 8);
  rod(pedal, {rear - 0.04, kFloor + 0.16, -0.07}, {rear - 0.04, kFloor + 0.16, 0.07}, 0.008, 8);
  const Vec beater = {rear - 0.035, bass.y - 0.04, 0};
  rod(pedal, {rear - 0.04, kFloor + 0.16, 0}, beater, 0.004, 8);
  lathe(pedal, frame_along(beater - Vec{0.02, 0, 0}, {1, 0, 0}),
        {{0, 0}, {0.018, 0.004}, {0.024, 0.014}, {0.024, 0.026}, {0.018, 0.036}, {0, 0.04}}, 12);

  // Arm from a block on the bass drum up to the tom's shell.
  Mesh& mount = part(m, "tom_mount", "chrome");
  const Vec block = {bass.x - 0.05, bass.y + bass_r + 0.012, 0.12};
  box(mount, frame_at(block), {0.035, 0.02, 0.03}, 0.005);
  const Vec toward = unit({bass.x - tom.x, 0, -tom.z});
  const Vec socket = tom + toward * (tom_r + 0.02) + Vec{0, -0.02, 0};
  box(mount, frame_along(socket, toward), {0.016, 0.02, 0.024}, 0.004);
  rod(mount, block, socket, 0.01, 10);
  return m;
}
