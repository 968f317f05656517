// Helpers for the shipped-model tests: reading a model from data/ the way
// the player does, and asking questions of its triangles.
#ifndef PLINKAR_TESTS_DATA_MODEL_GEOMETRY_H
#define PLINKAR_TESTS_DATA_MODEL_GEOMETRY_H

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "glm/glm.h"

struct ModelDeleter {
  void operator()(Model* model) const { glmDestroy(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

struct P3 {
  double x, y, z;
};

// Path of a shipped file, e.g. data_path("piano.obj").
std::string data_path(const std::string& name);

// Reads data/name; what the reader printed to standard output goes to
// *printed when given.
ModelPtr read_shipped(const std::string& name, std::string* printed = nullptr);

// A model's triangles with the group each belongs to (its name as written
// after "g ").
struct Triangles {
  std::vector<std::array<P3, 3>> corners;
  std::vector<std::array<uint32_t, 3>> index;  // vertex indices
  std::vector<std::string> group;
};
Triangles triangles_of(const Model* model);

// Nearest triangle hit by the ray from origin along dir (a unit vector):
// returns the distance, or a negative value when nothing is hit; *face
// receives the triangle.
double cast_ray(const Triangles& t, P3 origin, P3 dir, size_t* face = nullptr);

// Smallest distance from p to any triangle.
double distance_to(const Triangles& t, P3 p);

// Whether a triangle overlaps the axis-aligned box lo..hi.
bool overlaps_box(const std::array<P3, 3>& tri, P3 lo, P3 hi);

#endif
