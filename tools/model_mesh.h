// model_mesh.h: the closed solids the instrument models are built from, and
// the OBJ/MTL text they are written as. Every solid is a loft: rings of
// points joined by quads and closed at the ends, so each edge is shared by
// exactly two triangles and the winding can be made to face outwards.
#ifndef PLINKAR_TOOLS_MODEL_MESH_H
#define PLINKAR_TOOLS_MODEL_MESH_H

#include <array>
#include <deque>
#include <string>
#include <utility>
#include <vector>

struct Vec {
  double x, y, z;
};

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec a, Vec b);
Vec cross(Vec a, Vec b);
double length(Vec a);
Vec unit(Vec a);

// A placement: origin and the directions of the local x, y and z axes.
struct Frame {
  Vec o{0, 0, 0};
  Vec u{1, 0, 0}, v{0, 1, 0}, w{0, 0, 1};
};
Vec place(const Frame& f, Vec local);
Frame frame_at(Vec origin);
// Local y along axis; local x and z chosen from the axis alone.
Frame frame_along(Vec origin, Vec axis);

struct Mesh {
  std::vector<Vec> v;
  std::vector<std::array<int, 3>> f;  // 0-based into v
};

using Ring = std::vector<Vec>;
using Profile = std::vector<std::pair<double, double>>;  // (radius or inset, height)

// How a loft's first or last ring is closed: a fan to an apex point, or a
// fan from the ring's first point (convex rings without collinear points).
struct Cap {
  bool apex = false;
  Vec point{0, 0, 0};
};
Cap apex(Vec point);

// Joins rings of equal size into a closed solid facing outwards. With
// loop set the last ring joins the first (a ring-shaped solid, no caps).
void loft(Mesh& mesh, const std::vector<Ring>& rings, Cap first, Cap last, bool loop = false);

// Solid of revolution about the frame's y axis. Profile points are
// (radius, height); an end with radius 0 closes on the axis. loop joins the
// last point to the first (a ring; every radius above 0).
void lathe(Mesh& mesh, const Frame& f, const Profile& profile, int segments, bool loop = false);

// Round rod between two points, flat ends.
void rod(Mesh& mesh, Vec from, Vec to, double radius, int segments);

// Box of half sizes h about the frame's origin. A bevel above 0 cuts every
// edge at 45 degrees and adds a supporting ring beside each cut, so the
// faces stay flat under smoothing and only the edges round off.
void box(Mesh& mesh, const Frame& f, Vec h, double bevel = 0);

// Closed polygon (in the frame's xz plane, y = 0) offset inwards by d.
std::vector<std::pair<double, double>> inset_polygon(
    const std::vector<std::pair<double, double>>& outline, double d);

// Flat-sided solid from a convex outline in the frame's xz plane, from
// y = y0 to y = y1, with bevelled top and bottom edges.
void slab(Mesh& mesh, const Frame& f, const std::vector<std::pair<double, double>>& outline,
          double y0, double y1, double bevel);

struct Material {
  std::string name;
  std::array<double, 3> kd, ka, ks;
  double ns;
};

struct Part {
  std::string name;
  std::string material;
  Mesh mesh;
};

struct ModelData {
  std::string name;  // file stem: name.obj and name.mtl
  std::vector<Material> materials;
  std::deque<Part> parts;  // a deque: references to parts stay valid as more are added
};

// Part named name, created with the material when missing.
Mesh& part(ModelData& model, const std::string& name, const std::string& material);

// Smallest and largest coordinate on each axis over every part.
void bounds(const ModelData& model, Vec* min, Vec* max);
int triangle_count(const ModelData& model);

std::string obj_text(const ModelData& model);
std::string mtl_text(const ModelData& model);

#endif
