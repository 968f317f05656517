#include "model_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

P3 sub(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 add(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
P3 mul(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 cross(P3 a, P3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Closest point of triangle abc to p (Ericson, Real-Time Collision
// Detection, 5.1.5).
P3 closest_on_triangle(P3 p, P3 a, P3 b, P3 c) {
  const P3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
  const double d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const P3 bp = sub(p, b);
  const double d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return add(a, mul(ab, d1 / (d1 - d3)));
  const P3 cp = sub(p, c);
  const double d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return add(a, mul(ac, d2 / (d2 - d6)));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0)
    return add(b, mul(sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
  const double denom = 1 / (va + vb + vc);
  return add(a, add(mul(ab, vb * denom), mul(ac, vc * denom)));
}

}  // namespace

std::string data_path(const std::string& name) {
  return std::string(PLINKAR_SOURCE_DIR) + "/data/" + name;
}

ModelPtr read_shipped(const std::string& name, std::string* printed) {
  testing::internal::CaptureStdout();
  ModelPtr model(glmReadOBJ(data_path(name).c_str()));
  const std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return model;
}

Triangles triangles_of(const Model* model) {
  Triangles t;
  t.corners.resize(model->facecount);
  t.index.resize(model->facecount);
  t.group.resize(model->facecount);
  for (uint32_t i = 0; i < model->facecount; i++) {
    for (int c = 0; c < 3; c++) {
      const uint32_t v = model->faces[i].vertexidx[c];
      const float* p = &model->vertices[3 * v];
      t.corners[i][c] = {p[0], p[1], p[2]};
      t.index[i][c] = v;
    }
  }
  // The reader keeps the blank after "g" in a group's name.
  for (const ModelGroup* g = model->grouplist; g; g = g->next) {
    std::string name = g->name;
    name.erase(0, name.find_first_not_of(' '));
    for (uint32_t k = 0; k < g->facecount; k++) t.group[g->faceindices[k]] = name;
  }
  return t;
}

double cast_ray(const Triangles& t, P3 origin, P3 dir, size_t* face) {
  double best = -1;
  for (size_t i = 0; i < t.corners.size(); i++) {
    // Moller-Trumbore, either side of the triangle.
    const auto& c = t.corners[i];
    const P3 e1 = sub(c[1], c[0]), e2 = sub(c[2], c[0]);
    const P3 pv = cross(dir, e2);
    const double det = dot(e1, pv);
    if (std::fabs(det) < 1e-14) continue;
    const P3 tv = sub(origin, c[0]);
    const double u = dot(tv, pv) / det;
    if (u < 0 || u > 1) continue;
    const P3 qv = cross(tv, e1);
    const double v = dot(dir, qv) / det;
    if (v < 0 || u + v > 1) continue;
    const double d = dot(e2, qv) / det;
    if (d > 0 && (best < 0 || d < best)) {
      best = d;
      if (face) *face = i;
    }
  }
  return best;
}

double distance_to(const Triangles& t, P3 p) {
  double best = 1e9;
  for (const auto& c : t.corners) {
    const P3 q = closest_on_triangle(p, c[0], c[1], c[2]);
    best = std::min(best, std::sqrt(dot(sub(p, q), sub(p, q))));
  }
  return best;
}

bool overlaps_box(const std::array<P3, 3>& tri, P3 lo, P3 hi) {
  // Separating axes (Akenine-Moller): the box's three, the triangle's
  // normal and the nine edge cross products.
  const P3 centre = mul(add(lo, hi), 0.5), half = mul(sub(hi, lo), 0.5);
  const P3 v[3] = {sub(tri[0], centre), sub(tri[1], centre), sub(tri[2], centre)};
  const P3 e[3] = {sub(v[1], v[0]), sub(v[2], v[1]), sub(v[0], v[2])};
  const P3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  auto separated = [&](P3 axis) {
    const double p0 = dot(v[0], axis), p1 = dot(v[1], axis), p2 = dot(v[2], axis);
    const double r =
        half.x * std::fabs(axis.x) + half.y * std::fabs(axis.y) + half.z * std::fabs(axis.z);
    return std::min({p0, p1, p2}) > r || std::max({p0, p1, p2}) < -r;
  };
  for (const P3& a : axes)
    if (separated(a)) return false;
  if (separated(cross(e[0], e[1]))) return false;
  for (const P3& a : axes)
    for (const P3& edge : e)
      if (separated(cross(a, edge))) return false;
  return true;
}
