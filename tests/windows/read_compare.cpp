// Run under Wine: a big generated OBJ file read on one thread and on four
// (every job spread, in small pieces) must give the same model, byte for
// byte, with facet and vertex normals computed the same way.
#include <cstdio>
#include <cstring>
#include <string>

#include "glm/glm.h"
#include "glm/glm_internal.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (ok) return;
  std::printf("FAIL: %s\n", what);
  failures++;
}

// A wavy grid of rows x rows vertices with texture coordinates, normals and
// triangles in two groups: some 7 MB of text.
std::string writeGrid(const char* path, int rows) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return "can't write " + std::string(path);
  for (int y = 0; y < rows; y++)
    for (int x = 0; x < rows; x++) {
      std::fprintf(file, "v %d.%03d %d.5 %d.%02d\n", x, (x * 37 + y) % 1000, y, (x ^ y) % 7,
                   (x * y) % 100);
      std::fprintf(file, "vt 0.%04d 0.%04d\n", x * 9973 % 10000, y * 7919 % 10000);
      std::fprintf(file, "vn 0 %s0.%03d 1\n", (x + y) % 2 ? "-" : "", (x * 13 + y) % 1000);
    }
  for (int y = 0; y + 1 < rows; y++) {
    if (y == rows / 2) std::fprintf(file, "g second_half\n");
    for (int x = 0; x + 1 < rows; x++) {
      const int a = y * rows + x + 1, b = a + 1, c = a + rows, d = c + 1;
      std::fprintf(file, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, d, d, d);
      std::fprintf(file, "f %d//%d %d//%d %d//%d\n", a, a, d, d, c, c);
    }
  }
  return std::fclose(file) == 0 ? "" : "can't finish " + std::string(path);
}

bool sameFloats(const float* a, const float* b, size_t count) {
  return (a == nullptr) == (b == nullptr) && (!a || std::memcmp(a, b, 4 * count) == 0);
}

bool sameGroups(const ModelGroup* a, const ModelGroup* b) {
  for (; a && b; a = a->next, b = b->next)
    if (std::strcmp(a->name, b->name) != 0 || a->facecount != b->facecount ||
        std::memcmp(a->faceindices, b->faceindices, 4 * a->facecount) != 0)
      return false;
  return !a && !b;
}

}  // namespace

int main() {
  const char* path = "read_compare.obj";
  const std::string problem = writeGrid(path, 300);
  if (!problem.empty()) return std::printf("FAIL: %s\n", problem.c_str()), 1;
  Model* models[2];
  const unsigned threads[2] = {1, 4};
  for (int i = 0; i < 2; i++) {
    glmSetThreadLimit(threads[i], true);
    models[i] = glmReadOBJ(path);
    glmFitToUnitCube(models[i]);
    glmComputeFacetNormals(models[i]);
    glmVertexNormals(models[i], 90.0f);
  }
  glmSetThreadLimit(0);
  const Model *a = models[0], *b = models[1];
  check(a->vertexcount == 300 * 300, "the vertices are all read");
  check(a->facecount == 2 * 299 * 299, "the triangles are all read");
  check(b->vertexcount == a->vertexcount, "as many vertices on four threads");
  check(b->uvcount == a->uvcount, "as many texture coordinates on four threads");
  check(b->normalcount == a->normalcount, "as many normals on four threads");
  check(b->facecount == a->facecount, "as many triangles on four threads");
  check(b->facetnormcount == a->facetnormcount, "as many facet normals on four threads");
  if (failures == 0) {
    check(sameFloats(a->vertices, b->vertices, 3 * (a->vertexcount + 1)), "the same vertices");
    check(sameFloats(a->uvs, b->uvs, 2 * (a->uvcount + 1)), "the same texture coordinates");
    check(sameFloats(a->normals, b->normals, 3 * (a->normalcount + 1)), "the same normals");
    check(sameFloats(a->facetnorms, b->facetnorms, 3 * (a->facetnormcount + 1)),
          "the same facet normals");
    check(std::memcmp(a->faces, b->faces, sizeof(ModelFace) * a->facecount) == 0,
          "the same triangles");
    check(sameGroups(a->grouplist, b->grouplist), "the same groups");
  }
  std::printf("%u vertices, %u triangles, read on 1 and 4 threads: %s\n", a->vertexcount,
              a->facecount, failures ? "different" : "the same model");
  glmDestroy(models[0]);
  glmDestroy(models[1]);
  std::remove(path);
  return failures ? 1 : 0;
}
