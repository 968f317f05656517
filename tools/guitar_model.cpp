// guitar_model.cpp: a steel-string acoustic guitar under the player's seven
// string lines (x 0.1, z -0.9 to 0.6) and its chord marker (a ball of
// radius 0.1 at the origin, which shows on both sides of the neck).
#include <cmath>

#include "instrument_models.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
using Point2 = std::pair<double, double>;  // (z, y) on the body's face

// Strings are centred on y -0.01, so the neck is; the body stays centred
// on y 0 (the offset is a fraction of a millimetre on a real guitar).
constexpr double kNeckY = -0.01;
constexpr double kNut = -0.9, kScale = 1.5;  // nut to saddle
constexpr double kBoardBottom = 0.081, kBoardTop = 0.093, kFretTop = 0.097;
constexpr double kBodyTop = 0.068;
constexpr double kHoleZ = 0.26, kHoleR = 0.085;
constexpr int kBodySegments = 80;

double fret_z(int n) { return kNut + kScale * (1 - std::pow(2.0, -n / 12.0)); }

// Half the body's width along its length: upper bout, waist, lower bout.
const Point2 kHalfOutline[] = {
    {-0.07, 0.0},  {-0.068, 0.06}, {-0.058, 0.13}, {-0.035, 0.19}, {0.0, 0.235},  {0.05, 0.265},
    {0.12, 0.285}, {0.20, 0.29},   {0.28, 0.276},  {0.35, 0.252},  {0.41, 0.243}, {0.48, 0.26},
    {0.56, 0.31},  {0.64, 0.36},   {0.72, 0.393},  {0.79, 0.40},   {0.86, 0.386}, {0.92, 0.34},
    {0.96, 0.27},  {0.985, 0.18},  {0.997, 0.09},  {1.0, 0.0}};

// The whole outline, a Catmull-Rom curve through the half outline and its
// mirror image, as a closed polyline.
std::vector<Point2> body_outline() {
  const int n = sizeof kHalfOutline / sizeof kHalfOutline[0];
  std::vector<Point2> half;
  auto at = [&](int i) {
    if (i < 0) return Point2{kHalfOutline[-i].first, -kHalfOutline[-i].second};
    if (i >= n)
      return Point2{kHalfOutline[2 * n - 2 - i].first, -kHalfOutline[2 * n - 2 - i].second};
    return kHalfOutline[i];
  };
  for (int i = 0; i < n - 1; i++) {
    const Point2 p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    for (int s = 0; s < 12; s++) {
      const double t = s / 12.0, t2 = t * t, t3 = t2 * t;
      auto blend = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (3 * b - a - 3 * c + d) * t3);
      };
      half.push_back({blend(p0.first, p1.first, p2.first, p3.first),
                      blend(p0.second, p1.second, p2.second, p3.second)});
    }
  }
  half.push_back(kHalfOutline[n - 1]);
  std::vector<Point2> outline = half;
  for (size_t i = half.size() - 2; i > 0; i--) outline.push_back({half[i].first, -half[i].second});
  return outline;
}

// Where the ray from the sound hole's centre at angle a leaves the outline.
// The outline is star-shaped about that centre, so there is one crossing.
Point2 outline_at(const std::vector<Point2>& outline, double a) {
  const double dz = std::cos(a), dy = std::sin(a);
  double best = 1e9;
  for (size_t i = 0; i < outline.size(); i++) {
    const Point2 p = outline[i], q = outline[(i + 1) % outline.size()];
    const double ez = q.first - p.first, ey = q.second - p.second;
    const double den = dz * ey - dy * ez;
    if (den == 0) continue;
    const double pz = p.first - kHoleZ, py = p.second;
    const double t = (pz * ey - py * ez) / den, s = (pz * dy - py * dz) / den;
    if (t > 0 && s >= 0 && s <= 1 && t < best) best = t;
  }
  return {kHoleZ + best * dz, best * dy};
}

Frame face_frame() {
  // Local x along world y, local y along world x (the thickness), local z
  // along world z: outlines given as (y, z) pairs on the face.
  Frame f;
  f.u = {0, 1, 0};
  f.v = {1, 0, 0};
  f.w = {0, 0, 1};
  return f;
}

// Body: a flat-topped, flat-backed solid with rounded edges around the
// outline, with a deep well for the sound hole. Every ring is sampled at
// the same angles about the hole's centre, so the top runs straight from
// the edge into the hole.
void body(Mesh& mesh, double back) {
  const auto outline = body_outline();
  std::vector<Point2> edge(kBodySegments), normal(kBodySegments);
  for (int k = 0; k < kBodySegments; k++)
    edge[k] = outline_at(outline, 2 * kPi * k / kBodySegments);
  for (int k = 0; k < kBodySegments; k++) {
    const Point2 p = edge[(k + kBodySegments - 1) % kBodySegments];
    const Point2 q = edge[(k + 1) % kBodySegments];
    double nz = q.second - p.second, ny = -(q.first - p.first);
    const double len = std::sqrt(nz * nz + ny * ny);
    nz /= len, ny /= len;
    if (nz * (edge[k].first - kHoleZ) + ny * edge[k].second < 0) nz = -nz, ny = -ny;
    normal[k] = {nz, ny};
  }
  auto inset = [&](double d, double x) {
    Ring ring;
    for (int k = 0; k < kBodySegments; k++)
      ring.push_back(
          {x, edge[k].second - d * normal[k].second, edge[k].first - d * normal[k].first});
    return ring;
  };
  auto circle = [&](double r, double x) {
    Ring ring;
    for (int k = 0; k < kBodySegments; k++) {
      const double a = 2 * kPi * k / kBodySegments;
      ring.push_back({x, r * std::sin(a), kHoleZ + r * std::cos(a)});
    }
    return ring;
  };
  const double b = 0.01, s = 0.01, top = kBodyTop;
  loft(mesh,
       {inset(b + s, back), inset(b, back), inset(0, back + b), inset(0, back + b + s),
        inset(0, top - b - s), inset(0, top - b), inset(b, top), inset(b + s, top),
        circle(kHoleR + 0.008, top), circle(kHoleR + 0.002, top - 0.002),
        circle(kHoleR, top - 0.008), circle(kHoleR, top - 0.12)},
       apex({back, 0, kHoleZ}), apex({top - 0.15, 0, kHoleZ}));
}

// Neck: a flat top under the fretboard and a rounded back, growing into
// the heel where it meets the body.
void neck(Mesh& mesh) {
  struct Station {
    double z, half_width, depth;
  };
  const Station stations[] = {{-0.903, 0.043, 0.040}, {-0.80, 0.0435, 0.041},
                              {-0.50, 0.0455, 0.043}, {-0.20, 0.0485, 0.045},
                              {-0.13, 0.049, 0.05},   {-0.10, 0.05, 0.08},
                              {-0.08, 0.052, 0.13},   {-0.05, 0.052, 0.16}};
  std::vector<Ring> rings;
  for (const Station& st : stations) {
    Ring ring;
    for (int i = 0; i <= 12; i++) {
      const double a = kPi * i / 12;
      ring.push_back(
          {kBoardBottom - st.depth * std::sin(a), kNeckY + st.half_width * std::cos(a), st.z});
    }
    rings.push_back(ring);
  }
  loft(mesh, rings, Cap{}, Cap{});
}

}  // namespace

ModelData guitar_model() {
  ModelData m;
  m.name = "gita";
  m.materials = {{"spruce", {0.80, 0.62, 0.38}, {0.30, 0.22, 0.12}, {0.30, 0.30, 0.30}, 250},
                 {"mahogany", {0.40, 0.18, 0.08}, {0.15, 0.07, 0.03}, {0.30, 0.30, 0.30}, 250},
                 {"rosewood", {0.18, 0.09, 0.05}, {0.07, 0.04, 0.02}, {0.20, 0.20, 0.20}, 150},
                 {"bone", {0.92, 0.90, 0.82}, {0.35, 0.34, 0.30}, {0.50, 0.50, 0.50}, 300},
                 {"nickel", {0.60, 0.60, 0.58}, {0.25, 0.25, 0.25}, {0.85, 0.85, 0.85}, 700}};
  const Frame face = face_frame();

  neck(part(m, "neck", "mahogany"));

  // Fretboard from the nut over the body to just short of the rosette, its
  // top just under the strings, with 19 frets.
  const double board_end = 0.12, nut_half = 0.045, end_half = 0.056;
  auto board_half = [&](double z) {
    return nut_half + (end_half - nut_half) * (z - kNut) / (board_end - kNut);
  };
  slab(part(m, "fretboard", "rosewood"), face,
       {{kNeckY + nut_half, kNut},
        {kNeckY + end_half, board_end},
        {kNeckY - end_half, board_end},
        {kNeckY - nut_half, kNut}},
       kBoardBottom, kBoardTop, 0.002);
  Mesh& frets = part(m, "frets", "nickel");
  for (int n = 1; n <= 19; n++) {
    const double z = fret_z(n);
    box(frets, frame_at({(kBoardTop + kFretTop) / 2 - 0.001, kNeckY, z}),
        {(kFretTop - kBoardTop) / 2 + 0.001, board_half(z) - 0.001, 0.0022});
  }
  box(part(m, "nut", "bone"), frame_at({(kBoardBottom + 0.0985) / 2, kNeckY, kNut - 0.002}),
      {(0.0985 - kBoardBottom) / 2, nut_half + 0.001, 0.004});

  // Headstock beyond the nut, with three tuners a side: posts on the face,
  // gear housings behind, shafts and buttons out to the sides.
  slab(part(m, "headstock", "mahogany"), face,
       {{kNeckY + 0.046, kNut},
        {kNeckY + 0.066, -0.955},
        {kNeckY + 0.066, -0.985},
        {kNeckY + 0.05, -1.0},
        {kNeckY - 0.05, -1.0},
        {kNeckY - 0.066, -0.985},
        {kNeckY - 0.066, -0.955},
        {kNeckY - 0.046, kNut}},
       0.056, 0.078, 0.004);
  Mesh& tuners = part(m, "tuners", "nickel");
  for (int side = -1; side <= 1; side += 2) {
    for (int i = 0; i < 3; i++) {
      const double z = -0.922 - 0.026 * i, y = kNeckY + side * 0.04;
      lathe(tuners, frame_along({0.078, y, z}, {1, 0, 0}),
            {{0, 0}, {0.006, 0}, {0.006, 0.004}, {0.0045, 0.006}, {0.0045, 0.014}, {0, 0.014}}, 10);
      box(tuners, frame_at({0.049, y + side * 0.006, z}), {0.007, 0.014, 0.0095});
      rod(tuners, {0.049, kNeckY + side * 0.05, z}, {0.049, kNeckY + side * 0.094, z}, 0.0025, 8);
      box(tuners, frame_at({0.049, kNeckY + side * 0.1, z}), {0.0095, 0.0045, 0.0085});
    }
  }

  // On the top: rosette ring round the hole, pickguard below it, bridge
  // with its saddle (under the strings' ends) and six pins.
  lathe(part(m, "rosette", "mahogany"), frame_along({kBodyTop, 0, kHoleZ}, {1, 0, 0}),
        {{kHoleR + 0.018, -0.001},
         {kHoleR + 0.032, -0.001},
         {kHoleR + 0.032, 0.003},
         {kHoleR + 0.018, 0.003}},
        64, true);
  std::vector<Point2> guard;
  for (int i = 0; i < 28; i++) {
    const double a = 2 * kPi * i / 28, tilt = 0.45;
    const double ey = 0.048 * std::cos(a), ez = 0.085 * std::sin(a) * (1 + 0.25 * std::cos(a));
    guard.push_back({0.178 + ey * std::cos(tilt) - ez * std::sin(tilt),
                     0.32 + ey * std::sin(tilt) + ez * std::cos(tilt)});
  }
  slab(part(m, "pickguard", "mahogany"), face, guard, kBodyTop - 0.001, kBodyTop + 0.0025, 0.0006);
  box(part(m, "bridge", "rosewood"), frame_at({0.075, kNeckY, 0.6}), {0.009, 0.12, 0.035}, 0.004);
  box(part(m, "saddle", "bone"), frame_at({0.089, kNeckY, 0.585}), {0.0085, 0.045, 0.0025});
  Mesh& pins = part(m, "bridge_pins", "bone");
  for (int k = 0; k < 6; k++) {
    lathe(pins, frame_along({0.084, kNeckY + (k - 2.5) * 0.014, 0.612}, {1, 0, 0}),
          {{0, 0}, {0.0035, 0}, {0.0035, 0.002}, {0.0025, 0.005}, {0, 0.0055}}, 10);
  }

  // The body's back mirrors the highest point (the nut), so the guitar is
  // centred through its thickness.
  Vec min, max;
  bounds(m, &min, &max);
  body(part(m, "body", "spruce"), -max.x);
  return m;
}
