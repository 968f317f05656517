// weld.cpp: merging vertex positions that lie within epsilon of one another
// on every axis. Each vector joins the lowest-numbered distinct vector kept
// so far that is within epsilon; a grid of cells finds that one without
// comparing against every vector kept, with exactly the same outcome.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glm/glm_internal.h"

bool glmNearlyEqual(const float* u, const float* v, float epsilon) {
  return glmAbs(u[0] - v[0]) < epsilon && glmAbs(u[1] - v[1]) < epsilon &&
         glmAbs(u[2] - v[2]) < epsilon;
}

float* glmMergeVectorsPlain(const float* vectors, uint32_t* count, float epsilon, uint32_t* map) {
  float* kept = static_cast<float*>(glmAlloc("glmMergeVectors", 3 * (size_t(*count) + 1), 4));
  uint32_t distinct = 0;
  for (uint32_t i = 1; i <= *count; i++) {
    const float* v = &vectors[3 * i];
    uint32_t j = 1;
    while (j <= distinct && !glmNearlyEqual(v, &kept[3 * j], epsilon)) j++;
    if (j > distinct) memcpy(&kept[3 * ++distinct], v, 3 * sizeof(float));
    map[i] = j;
  }
  *count = distinct;
  return kept;
}

namespace {

// One grid cell holding kept vectors, in the order they were kept.
struct Cell {
  int64_t key[3];
  uint32_t first, last;  // kept vectors, linked through next_in_cell; 0 when empty
};

struct Grid {
  double scale;  // cells per unit
  std::vector<Cell> cells;
  size_t mask;
};

// Cell coordinate of a value; huge ones clamp, which only crowds far-off
// cells together (a crowded cell is still searched exactly).
int64_t cell_of(double value) {
  const double limit = 4.0e18;
  if (value > limit) return int64_t(4e18);
  if (value < -limit) return -int64_t(4e18);
  return static_cast<int64_t>(std::floor(value));
}

size_t hash(const int64_t* key) {
  uint64_t h = uint64_t(key[0]) * 0x9E3779B97F4A7C15ULL;
  h ^= uint64_t(key[1]) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
  h ^= uint64_t(key[2]) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
  return static_cast<size_t>(h ^ (h >> 29));
}

Cell* find_cell(Grid& grid, const int64_t* key, bool create) {
  for (size_t at = hash(key) & grid.mask;; at = (at + 1) & grid.mask) {
    Cell& cell = grid.cells[at];
    if (cell.first == 0) {
      if (!create) return nullptr;
      memcpy(cell.key, key, sizeof cell.key);
      return &cell;
    }
    if (memcmp(cell.key, key, sizeof cell.key) == 0) return &cell;
  }
}

}  // namespace

// Cells are twice epsilon wide (and a hair wider, so that rounding in the
// division can never put two vectors within epsilon two cells apart). The
// vectors within epsilon of v then lie in v's cell or, on each axis, in the
// one neighbour on the side of the cell's middle v is on: 8 cells at most.
float* glmMergeVectorsMap(const float* vectors, uint32_t* count, float epsilon, uint32_t* map) {
  const uint32_t n = *count;
  if (!(epsilon > 0.0f) || !std::isfinite(epsilon)) {
    // Nothing is within 0 (or within NaN) of anything: all stay distinct.
    // An infinite epsilon joins everything finite, which the plain search
    // does fine in one pass.
    if (std::isinf(epsilon) && epsilon > 0)
      return glmMergeVectorsPlain(vectors, count, epsilon, map);
    float* kept = static_cast<float*>(glmAlloc("glmMergeVectors", 3 * (size_t(n) + 1), 4));
    memcpy(kept, vectors, 3 * (size_t(n) + 1) * sizeof(float));
    for (uint32_t i = 1; i <= n; i++) map[i] = i;
    return kept;
  }

  Grid grid;
  grid.scale = 1.0 / (2.0 * double(epsilon) * (1.0 + 1.0 / (1 << 20)));
  size_t size = 16;
  while (size < 2 * size_t(n)) size *= 2;
  grid.cells.assign(size, Cell{{0, 0, 0}, 0, 0});
  grid.mask = size - 1;
  std::vector<uint32_t> next_in_cell(size_t(n) + 1, 0);

  float* kept = static_cast<float*>(glmAlloc("glmMergeVectors", 3 * (size_t(n) + 1), 4));
  uint32_t distinct = 0;
  for (uint32_t i = 1; i <= n; i++) {
    const float* v = &vectors[3 * i];
    uint32_t found = 0;
    const bool finite = std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
    int64_t home[3];
    if (finite) {
      int64_t side[3];
      for (int a = 0; a < 3; a++) {
        const double at = double(v[a]) * grid.scale;
        home[a] = cell_of(at);
        side[a] = at - std::floor(at) < 0.5 ? -1 : 1;
      }
      for (int corner = 0; corner < 8; corner++) {
        int64_t key[3];
        for (int a = 0; a < 3; a++) key[a] = home[a] + ((corner >> a) & 1 ? side[a] : 0);
        const Cell* cell = find_cell(grid, key, false);
        if (!cell) continue;
        // Kept vectors in a cell are in increasing order: the first match
        // is the cell's lowest.
        for (uint32_t j = cell->first; j && (!found || j < found); j = next_in_cell[j]) {
          if (glmNearlyEqual(v, &kept[3 * j], epsilon)) {
            found = j;
            break;
          }
        }
      }
    }
    // A vector with an infinite or NaN coordinate is within epsilon of
    // nothing, itself included: it is always kept, and never looked up.
    if (!found) {
      found = ++distinct;
      memcpy(&kept[3 * found], v, 3 * sizeof(float));
      if (finite) {
        Cell* cell = find_cell(grid, home, true);
        if (cell->last)
          next_in_cell[cell->last] = found;
        else
          cell->first = found;
        cell->last = found;
      }
    }
    map[i] = found;
  }
  *count = distinct;
  return kept;
}

float* glmMergeVectors(float* vectors, uint32_t* count, float epsilon) {
  uint32_t* map =
      static_cast<uint32_t*>(glmAlloc("glmMergeVectors", size_t(*count) + 1, sizeof(uint32_t)));
  const uint32_t n = *count;
  float* kept = glmMergeVectorsMap(vectors, count, epsilon, map);
  // Each vector's new index goes back through its own first component.
  for (uint32_t i = 1; i <= n; i++) vectors[3 * i] = static_cast<float>(map[i]);
  free(map);
  return kept;
}

void glmWeldVertices(Model* model, float epsilon) {
  uint32_t count = model->vertexcount;
  uint32_t* map =
      static_cast<uint32_t*>(glmAlloc("glmWeldVertices", size_t(count) + 1, sizeof(uint32_t)));
  float* kept = glmMergeVectorsMap(model->vertices, &count, epsilon, map);
  // The new indices come from an integer map rather than through the
  // vertices' x components as floats, which would corrupt models of more
  // than 2^24 vertices.
  for (uint32_t i = 0; i < model->facecount; i++)
    for (int k = 0; k < 3; k++) {
      uint32_t& index = model->faces[i].vertexidx[k];
      if (index >= 1 && index <= model->vertexcount) index = map[index];
    }
  free(map);
  free(model->vertices);
  model->vertexcount = count;
  model->vertices =
      static_cast<float*>(glmAlloc("glmWeldVertices", 3 * (size_t(count) + 1), sizeof(float)));
  memcpy(model->vertices, kept, 3 * (size_t(count) + 1) * sizeof(float));
  free(kept);
}
