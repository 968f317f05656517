// model_mesh.cpp: lofts and the shapes made from them, and the OBJ/MTL text.
#include "model_mesh.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kPi = 3.14159265358979323846;

using Point2 = std::pair<double, double>;

double signed_volume(const Mesh& mesh, size_t first_face) {
  double volume = 0;
  for (size_t i = first_face; i < mesh.f.size(); i++) {
    const auto& t = mesh.f[i];
    volume += dot(mesh.v[t[0]], cross(mesh.v[t[1]], mesh.v[t[2]]));
  }
  return volume / 6;
}

// Rectangle of half sizes (hx, hz) whose corners are cut by chamfer, with a
// point support further along each edge so the flat sides stay flat.
std::vector<Point2> rect_outline(double hx, double hz, double chamfer, double support) {
  const Point2 corners[4] = {{hx, hz}, {-hx, hz}, {-hx, -hz}, {hx, -hz}};
  std::vector<Point2> out;
  for (int k = 0; k < 4; k++) {
    const Point2 c = corners[k], prev = corners[(k + 3) % 4], next = corners[(k + 1) % 4];
    auto toward = [&](Point2 to, double t) {
      double dx = to.first - c.first, dz = to.second - c.second;
      double len = std::sqrt(dx * dx + dz * dz);
      return Point2{c.first + dx / len * t, c.second + dz / len * t};
    };
    if (chamfer <= 0) {
      out.push_back(c);
      continue;
    }
    if (support > 0) out.push_back(toward(prev, chamfer + support));
    out.push_back(toward(prev, chamfer));
    out.push_back(toward(next, chamfer));
    if (support > 0) out.push_back(toward(next, chamfer + support));
  }
  return out;
}

Ring ring_at(const Frame& f, const std::vector<Point2>& outline, double y) {
  Ring ring;
  for (const Point2& p : outline) ring.push_back(place(f, {p.first, y, p.second}));
  return ring;
}

Point2 centroid(const std::vector<Point2>& outline) {
  double x = 0, z = 0;
  for (const Point2& p : outline) x += p.first, z += p.second;
  const double count = static_cast<double>(outline.size());
  return {x / count, z / count};
}

void append_number(std::string& out, double value) {
  char text[32];
  snprintf(text, sizeof text, "%.5f", value);
  // Rounding may leave "-0.00000"; the same point must print the same way.
  out += std::string(text) == "-0.00000" ? "0.00000" : text;
}

}  // namespace

double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vec a) { return std::sqrt(dot(a, a)); }
Vec unit(Vec a) { return a * (1 / length(a)); }

Vec place(const Frame& f, Vec p) { return f.o + f.u * p.x + f.v * p.y + f.w * p.z; }

Frame frame_at(Vec origin) {
  Frame f;
  f.o = origin;
  return f;
}

Frame frame_along(Vec origin, Vec axis) {
  Frame f;
  f.o = origin;
  f.v = unit(axis);
  // Start from the world axis least aligned with the new y.
  Vec helper = std::fabs(f.v.x) < 0.9 ? Vec{1, 0, 0} : Vec{0, 0, 1};
  f.w = unit(cross(helper, f.v));
  f.u = cross(f.v, f.w);
  return f;
}

Cap apex(Vec point) { return Cap{true, point}; }

void loft(Mesh& mesh, const std::vector<Ring>& rings, Cap first, Cap last, bool loop) {
  const int base = static_cast<int>(mesh.v.size());
  const size_t first_face = mesh.f.size();
  const int n = static_cast<int>(rings.size());
  const int k = static_cast<int>(rings[0].size());
  for (const Ring& ring : rings) {
    if (static_cast<int>(ring.size()) != k) {
      fprintf(stderr, "make_models: rings of a loft differ in size\n");
      exit(1);
    }
    mesh.v.insert(mesh.v.end(), ring.begin(), ring.end());
  }
  auto at = [&](int i, int j) { return base + (i % n) * k + (j % k); };
  for (int i = 0; i < (loop ? n : n - 1); i++) {
    for (int j = 0; j < k; j++) {
      mesh.f.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1)});
      mesh.f.push_back({at(i, j), at(i + 1, j + 1), at(i + 1, j)});
    }
  }
  if (!loop) {
    // The first ring's edges run j -> j+1 in its strip, so its cap runs
    // them backwards; the last ring the other way round.
    auto close = [&](int i, const Cap& cap, bool reversed) {
      int centre = -1;
      if (cap.apex) {
        centre = static_cast<int>(mesh.v.size());
        mesh.v.push_back(cap.point);
      }
      for (int j = cap.apex ? 0 : 1; j < (cap.apex ? k : k - 1); j++) {
        const int hub = cap.apex ? centre : at(i, 0);
        if (reversed)
          mesh.f.push_back({hub, at(i, j + 1), at(i, j)});
        else
          mesh.f.push_back({hub, at(i, j), at(i, j + 1)});
      }
    };
    close(0, first, true);
    close(n - 1, last, false);
  }
  if (signed_volume(mesh, first_face) < 0) {
    for (size_t i = first_face; i < mesh.f.size(); i++) std::swap(mesh.f[i][1], mesh.f[i][2]);
  }
}

void lathe(Mesh& mesh, const Frame& f, const Profile& profile, int segments, bool loop) {
  std::vector<Ring> rings;
  Cap ends[2];
  for (size_t i = 0; i < profile.size(); i++) {
    const double r = profile[i].first, h = profile[i].second;
    if (r == 0 && !loop) {
      ends[i == 0 ? 0 : 1] = apex(place(f, {0, h, 0}));
      continue;
    }
    Ring ring;
    for (int s = 0; s < segments; s++) {
      const double a = 2 * kPi * s / segments;
      ring.push_back(place(f, {r * std::cos(a), h, r * std::sin(a)}));
    }
    rings.push_back(ring);
  }
  loft(mesh, rings, ends[0], ends[1], loop);
}

void rod(Mesh& mesh, Vec from, Vec to, double radius, int segments) {
  const double len = length(to - from);
  lathe(mesh, frame_along(from, to - from), {{0, 0}, {radius, 0}, {radius, len}, {0, len}},
        segments);
}

void box(Mesh& mesh, const Frame& f, Vec h, double bevel) {
  if (bevel <= 0) {
    const auto outline = rect_outline(h.x, h.z, 0, 0);
    loft(mesh, {ring_at(f, outline, -h.y), ring_at(f, outline, h.y)}, Cap{}, Cap{});
    return;
  }
  // A small box keeps every ring apart: the bevel shrinks to fit and the
  // supporting rings go when there is no room for them. Across, the cap
  // ring's cut corners must not meet (2 (b + s) < half size); up, the
  // rings must not cross (b + s < half height).
  const double across = std::fmin(h.x, h.z);
  const double b = std::fmin(bevel, std::fmin(0.4 * h.y, 0.2 * across));
  double s = std::fmin(b, std::fmin(0.8 * h.y - b, 0.4 * across - b));
  if (s < 0.25 * b) s = 0;
  auto ring = [&](double inset, double y) {
    return ring_at(f, rect_outline(h.x - inset, h.z - inset, b, s), y);
  };
  std::vector<Ring> rings;
  if (s > 0) rings.push_back(ring(b + s, -h.y));
  rings.push_back(ring(b, -h.y));
  rings.push_back(ring(0, -h.y + b));
  if (s > 0) rings.push_back(ring(0, -h.y + b + s));
  if (s > 0) rings.push_back(ring(0, h.y - b - s));
  rings.push_back(ring(0, h.y - b));
  rings.push_back(ring(b, h.y));
  if (s > 0) rings.push_back(ring(b + s, h.y));
  loft(mesh, rings, apex(place(f, {0, -h.y, 0})), apex(place(f, {0, h.y, 0})));
}

std::vector<Point2> inset_polygon(const std::vector<Point2>& outline, double d) {
  const size_t n = outline.size();
  // Orientation decides which side of each edge is inside.
  double area = 0;
  for (size_t i = 0; i < n; i++) {
    const Point2 &a = outline[i], &b = outline[(i + 1) % n];
    area += a.first * b.second - b.first * a.second;
  }
  const double side = area > 0 ? 1 : -1;
  std::vector<Point2> out;
  for (size_t i = 0; i < n; i++) {
    const Point2 &p = outline[(i + n - 1) % n], &c = outline[i], &q = outline[(i + 1) % n];
    auto inward = [&](Point2 a, Point2 b) {
      double dx = b.first - a.first, dz = b.second - a.second;
      double len = std::sqrt(dx * dx + dz * dz);
      return Point2{-dz / len * side, dx / len * side};
    };
    const Point2 n1 = inward(p, c), n2 = inward(c, q);
    const double k = d / (1 + n1.first * n2.first + n1.second * n2.second);
    out.push_back({c.first + (n1.first + n2.first) * k, c.second + (n1.second + n2.second) * k});
  }
  return out;
}

void slab(Mesh& mesh, const Frame& f, const std::vector<Point2>& outline, double y0, double y1,
          double bevel) {
  const Point2 c = centroid(outline);
  const Cap bottom = apex(place(f, {c.first, y0, c.second}));
  const Cap top = apex(place(f, {c.first, y1, c.second}));
  if (bevel <= 0) {
    loft(mesh, {ring_at(f, outline, y0), ring_at(f, outline, y1)}, bottom, top);
    return;
  }
  const double b = bevel, s = bevel;
  const auto in_b = inset_polygon(outline, b), in_bs = inset_polygon(outline, b + s);
  loft(mesh,
       {ring_at(f, in_bs, y0), ring_at(f, in_b, y0), ring_at(f, outline, y0 + b),
        ring_at(f, outline, y0 + b + s), ring_at(f, outline, y1 - b - s),
        ring_at(f, outline, y1 - b), ring_at(f, in_b, y1), ring_at(f, in_bs, y1)},
       bottom, top);
}

Mesh& part(ModelData& model, const std::string& name, const std::string& material) {
  for (Part& p : model.parts)
    if (p.name == name) return p.mesh;
  model.parts.push_back(Part{name, material, Mesh{}});
  return model.parts.back().mesh;
}

void bounds(const ModelData& model, Vec* min, Vec* max) {
  *min = {1e9, 1e9, 1e9};
  *max = {-1e9, -1e9, -1e9};
  for (const Part& p : model.parts) {
    for (const Vec& v : p.mesh.v) {
      *min = {std::fmin(min->x, v.x), std::fmin(min->y, v.y), std::fmin(min->z, v.z)};
      *max = {std::fmax(max->x, v.x), std::fmax(max->y, v.y), std::fmax(max->z, v.z)};
    }
  }
}

int triangle_count(const ModelData& model) {
  size_t count = 0;
  for (const Part& p : model.parts) count += p.mesh.f.size();
  return static_cast<int>(count);
}

std::string obj_text(const ModelData& model) {
  std::string out = "# " + model.name + ".obj, written by tools/make_models\n";
  out += "mtllib " + model.name + ".mtl\n";
  size_t base = 1;
  for (const Part& p : model.parts) {
    out += "\ng " + p.name + "\nusemtl " + p.material + "\n";
    for (const Vec& v : p.mesh.v) {
      out += "v ";
      append_number(out, v.x);
      out += ' ';
      append_number(out, v.y);
      out += ' ';
      append_number(out, v.z);
      out += '\n';
    }
    for (const auto& t : p.mesh.f) {
      out += "f " + std::to_string(base + t[0]) + ' ' + std::to_string(base + t[1]) + ' ' +
             std::to_string(base + t[2]) + '\n';
    }
    base += p.mesh.v.size();
  }
  return out;
}

std::string mtl_text(const ModelData& model) {
  std::string out = "# " + model.name + ".mtl, written by tools/make_models\n";
  char line[128];
  for (const Material& m : model.materials) {
    out += "\nnewmtl " + m.name + "\n";
    snprintf(line, sizeof line, "Ka %.3f %.3f %.3f\nKd %.3f %.3f %.3f\nKs %.3f %.3f %.3f\n",
             m.ka[0], m.ka[1], m.ka[2], m.kd[0], m.kd[1], m.kd[2], m.ks[0], m.ks[1], m.ks[2]);
    out += line;
    snprintf(line, sizeof line, "Ns %.1f\n", m.ns);
    out += line;
  }
  return out;
}
