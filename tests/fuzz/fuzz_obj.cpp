// Fuzz target for the OBJ reader and the MTL reader. The OBJ text is read
// twice, with and without the fast paths for well-formed lines, and the two
// models must be the same: any difference is a bug in a fast path. Wherever
// the shortcut for plain decimals takes a number, the full number reader
// must take the same. The same bytes are then read as a material library.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "glm/glm_internal.h"
#include "glm/text_scan.h"

namespace {

void check_plain_numbers(const char* text, size_t size) {
  const char* end = text + size;
  for (const char* p = text; p < end; p++) {
    const char* plain = p;
    const char* full = nullptr;
    float a, b;
    if (!glm_scan::plain_float(plain, end, a)) continue;
    if (!glm_scan::scan_number(p, end, b, full) || full != plain || memcmp(&a, &b, sizeof a) != 0) {
      fprintf(stderr, "the number readers disagree at byte %zu\n", static_cast<size_t>(p - text));
      abort();
    }
  }
}

bool same_floats(const float* a, const float* b, size_t count) {
  if (!a || !b) return a == b;
  return memcmp(a, b, count * sizeof(float)) == 0;
}

bool same_model(const Model* a, const Model* b) {
  if (a->vertexcount != b->vertexcount || a->normalcount != b->normalcount ||
      a->uvcount != b->uvcount || a->facecount != b->facecount || a->groupcount != b->groupcount ||
      a->mtlcount != b->mtlcount)
    return false;
  if (!same_floats(a->vertices, b->vertices, 3 * (size_t(a->vertexcount) + 1)) ||
      !same_floats(a->normals, b->normals, 3 * (size_t(a->normalcount) + 1)) ||
      !same_floats(a->uvs, b->uvs, 2 * (size_t(a->uvcount) + 1)))
    return false;
  if (a->facecount && memcmp(a->faces, b->faces, a->facecount * sizeof(ModelFace)) != 0)
    return false;
  for (const ModelGroup *g = a->grouplist, *h = b->grouplist; g; g = g->next, h = h->next) {
    if (strcmp(g->name, h->name) != 0 || g->facecount != h->facecount || g->mtlindex != h->mtlindex)
      return false;
    if (g->facecount && memcmp(g->faceindices, h->faceindices, 4 * size_t(g->facecount)) != 0)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  char* text = static_cast<char*>(malloc(size ? size : 1));
  if (size) memcpy(text, data, size);
  check_plain_numbers(text, size);

  // The material library named in a fuzzed file is looked for in a
  // directory that does not exist: its failure is part of what is compared.
  Model* fast = nullptr;
  Model* exact = nullptr;
  GlmFailure fast_failure = glmReadOBJText("/nonexistent/fuzz.obj", text, size, &fast, true);
  GlmFailure exact_failure = glmReadOBJText("/nonexistent/fuzz.obj", text, size, &exact, false);
  if (fast_failure.message != exact_failure.message || (fast == nullptr) != (exact == nullptr)) {
    fprintf(stderr, "the two readers disagree:\n%s\n%s\n", fast_failure.message.c_str(),
            exact_failure.message.c_str());
    abort();
  }
  if (fast) {
    if (!same_model(fast, exact)) {
      fprintf(stderr, "the two readers built different models\n");
      abort();
    }
    // What the player does with every model it reads.
    glmFitToUnitCube(fast);
    glmComputeFacetNormals(fast);
    glmVertexNormals(fast, 90.0f);
    glmDestroy(fast);
    glmDestroy(exact);
  }

  Model* library = static_cast<Model*>(calloc(1, sizeof(Model)));
  library->objpath = strdup("fuzz.obj");
  glmReadMTLText(library, text, size);
  glmDestroy(library);
  free(text);
  return 0;
}
