// normals.cpp: facet normals, smoothed vertex normals and the vector helpers
// they use. All arithmetic is single precision, save where a float would
// under- or overflow.
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glm/glm_internal.h"
#include "glm/parallel.h"

// Faces or vertices per thread below which the work stays on one thread.
static const size_t kFacesPerThread = 1 << 16;
static const size_t kVerticesPerThread = 1 << 16;

void glmCrossProduct(const float* u, const float* v, float* n) {
  assert(u);
  assert(v);
  assert(n);
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
}

// Divides v by its length when its squared length is a normal float, so
// that single precision alone gives a unit vector; false otherwise.
static inline bool divide_by_length(float* v) {
  const float squared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  if (!(squared >= FLT_MIN && squared <= FLT_MAX)) return false;
  const float length = sqrtf(squared);
  v[0] /= length;
  v[1] /= length;
  v[2] /= length;
  return true;
}

// The same in double, for a vector whose squared length under- or
// overflows a float. A zero vector (the normal of a face of zero area)
// stays zero: dividing it by its length would fill the model with NaN,
// which lights as garbage.
static void normalize_wide(float* v) {
  if (v[0] == 0.0f && v[1] == 0.0f && v[2] == 0.0f) return;
  const double x = v[0], y = v[1], z = v[2];
  const double length = sqrt(x * x + y * y + z * z);
  v[0] = static_cast<float>(x / length);
  v[1] = static_cast<float>(y / length);
  v[2] = static_cast<float>(z / length);
}

void glmNormalizeVector(float* v) {
  assert(v);
  if (!divide_by_length(v)) normalize_wide(v);
}

float glmDotProduct(const float* u, const float* v) {
  assert(u);
  assert(v);
  return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

// The unit normal of a face so small or so large that the cross product of
// its edges under- or overflows a float: the same arithmetic in double.
static void wide_facet_normal(const float* a, const float* b, const float* c, float* n) {
  const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
  const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
  const double w[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  const double length = sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
  if (!(length > 0.0) || !std::isfinite(length)) {
    // Corners that are not finite, or a face flat in double after all.
    normalize_wide(n);
    return;
  }
  for (int k = 0; k < 3; k++) n[k] = static_cast<float>(w[k] / length);
}

void glmComputeFacetNormals(Model* model) {
  assert(model);
  assert(model->vertices);
  free(model->facetnorms);
  model->facetnormcount = model->facecount;
  const uint32_t facecount = model->facecount;
  const unsigned parts = glmThreadsFor(facecount, kFacesPerThread);
  model->facetnorms = static_cast<float*>(glmAlloc(
      "glmComputeFacetNormals", 3 * (size_t(model->facetnormcount) + 1), sizeof(float), parts));

  const float* vertices = model->vertices;
  glmRunTasks(parts, parts, [&](size_t part) {
    const uint32_t end = static_cast<uint32_t>(glmPartStart(facecount, parts, part + 1));
    for (uint32_t i = static_cast<uint32_t>(glmPartStart(facecount, parts, part)); i < end; i++) {
      ModelFace& face = model->faces[i];
      face.facetidx = i + 1;
      const float* a = &vertices[3 * face.vertexidx[0]];
      const float* b = &vertices[3 * face.vertexidx[1]];
      const float* c = &vertices[3 * face.vertexidx[2]];
      float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
      float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      float* n = &model->facetnorms[3 * (i + 1)];
      glmCrossProduct(u, v, n);
      if (!divide_by_length(n) && (n[0] != 0.0f || n[1] != 0.0f || n[2] != 0.0f))
        wide_facet_normal(a, b, c, n);
    }
  });
}

// One face corner that uses a vertex. The uses of each vertex sit together,
// from the highest-numbered face down (within a face, the last corner first),
// so the first one is the vertex's head face.
struct VertexUse {
  uint32_t facet;   // the face's facet normal
  uint32_t corner;  // 3 * face + corner, and kAveraged once its facet normal
                    // joins the vertex's shared normal
};
const uint32_t kAveraged = 0x80000000u;

// The uses of one vertex that join its shared normal (marked in uses), and
// that normal, normalized. Returns whether there is one.
static inline bool shared_normal(const float* facetnorms, float threshold, VertexUse* uses,
                                 uint32_t begin, uint32_t end, float* average) {
  const float* head = &facetnorms[3 * uses[begin].facet];
  average[0] = average[1] = average[2] = 0.0f;
  bool any = false;
  for (uint32_t k = begin; k < end; k++) {
    // Every use is compared with the head, never with its neighbours.
    const float* n = &facetnorms[3 * uses[k].facet];
    if (glmDotProduct(n, head) > threshold) {
      uses[k].corner |= kAveraged;
      average[0] += n[0];
      average[1] += n[1];
      average[2] += n[2];
      any = true;
    }
  }
  if (any) glmNormalizeVector(average);
  return any;
}

// Works out the normals of vertices from..to into out from index 1 on (with
// room for one a use, and one more) and returns how many: a vertex's shared
// normal first, then a copy of the facet normal of each use outside the
// angle. With faces, each use also sets its corner's normalidx to base +
// its normal's index there; a face that names one vertex twice thus leaves
// no corner without a normal.
static uint32_t vertex_normals(ModelFace* faces, const float* facetnorms, float threshold,
                               VertexUse* uses, const uint32_t* first, uint32_t from, uint32_t to,
                               float* out, uint32_t base, size_t* lonely) {
  uint32_t next = 1;
  for (uint32_t v = from; v <= to; v++) {
    if (first[v] == first[v + 1]) {
      ++*lonely;
      continue;
    }
    float average[3];
    uint32_t shared = 0;
    if (shared_normal(facetnorms, threshold, uses, first[v], first[v + 1], average)) {
      shared = next++;
      memcpy(&out[3 * shared], average, sizeof average);
    }
    for (uint32_t k = first[v]; k < first[v + 1]; k++) {
      const VertexUse& use = uses[k];
      uint32_t index = shared;
      if (!(use.corner & kAveraged)) {
        index = next++;
        memcpy(&out[3 * index], &facetnorms[3 * use.facet], 3 * sizeof(float));
      }
      if (faces) {
        const uint32_t corner = use.corner & ~kAveraged;
        faces[corner / 3].normalidx[corner % 3] = base + index;
      }
    }
  }
  return next - 1;
}

// Sets the corners of vertices from..to as vertex_normals numbers their
// normals, from base on.
static void set_normal_indices(ModelFace* faces, const VertexUse* uses, const uint32_t* first,
                               uint32_t from, uint32_t to, uint32_t base) {
  uint32_t next = base + 1;
  for (uint32_t v = from; v <= to; v++) {
    bool any = false;
    for (uint32_t k = first[v]; k < first[v + 1]; k++) any |= (uses[k].corner & kAveraged) != 0;
    const uint32_t shared = any ? next++ : 0;
    for (uint32_t k = first[v]; k < first[v + 1]; k++) {
      const uint32_t corner = uses[k].corner & ~kAveraged;
      faces[corner / 3].normalidx[corner % 3] = uses[k].corner & kAveraged ? shared : next++;
    }
  }
}

void glmVertexNormals(Model* model, float angle) {
  assert(model);
  assert(model->facetnorms);
  // The single-precision pi widened to double, as the threshold has always
  // been worked out; the double pi would move faces at exactly the angle.
  const float threshold = static_cast<float>(cos(angle * 3.1415927410125732 / 180.0));

  const uint32_t vertexcount = model->vertexcount;
  const uint32_t facecount = model->facecount;
  ModelFace* faces = model->faces;
  const float* facetnorms = model->facetnorms;
  if (facecount > (kAveraged - 1) / 3) {
    GlmFailure failure;
    glmFail(&failure, false, "glmVertexNormals() failed: too many faces (%u).\n", facecount);
    glmDie(failure);
  }

  // Group the uses by vertex: count, prefix sums, then place. On several
  // threads each takes a run of faces with counts of its own, and the uses
  // of its faces go after those of the runs above it, so they sit in the
  // same order as from one thread.
  unsigned runs = glmThreadsFor(facecount, kFacesPerThread);
  while (runs > 1 && size_t(runs) * (vertexcount + 2) > size_t(facecount) * 3) runs--;
  const unsigned parts = glmThreadsFor(vertexcount, kVerticesPerThread);
  uint32_t* first = static_cast<uint32_t*>(
      glmAlloc("glmVertexNormals", size_t(vertexcount) + 2, sizeof(uint32_t), parts));
  uint32_t* place = static_cast<uint32_t*>(
      glmAlloc("glmVertexNormals", (size_t(vertexcount) + 1) * runs, sizeof(uint32_t), runs));
  // A corner naming no vertex (only a hand-built model can) takes no part.
  glmRunTasks(runs, runs, [&](size_t run) {
    uint32_t* counts = place + (size_t(vertexcount) + 1) * run;
    const uint32_t end = static_cast<uint32_t>(glmPartStart(facecount, runs, run + 1));
    for (uint32_t i = static_cast<uint32_t>(glmPartStart(facecount, runs, run)); i < end; i++)
      for (int c = 0; c < 3; c++) {
        uint32_t v = faces[i].vertexidx[c];
        if (v - 1 < vertexcount) counts[v]++;
      }
  });
  // Where each part of the vertices starts its uses, then each vertex and,
  // within it, each run.
  std::vector<uint32_t> part_first(size_t(parts) + 1);
  glmRunTasks(parts, parts, [&](size_t part) {
    uint32_t n = 0;
    const uint32_t end = static_cast<uint32_t>(glmPartStart(vertexcount, parts, part + 1));
    for (uint32_t v = static_cast<uint32_t>(glmPartStart(vertexcount, parts, part)) + 1; v <= end;
         v++)
      for (unsigned run = 0; run < runs; run++) n += place[(size_t(vertexcount) + 1) * run + v];
    part_first[part + 1] = n;
  });
  for (unsigned part = 0; part < parts; part++) part_first[part + 1] += part_first[part];
  glmRunTasks(parts, parts, [&](size_t part) {
    uint32_t at = part_first[part];
    const uint32_t end = static_cast<uint32_t>(glmPartStart(vertexcount, parts, part + 1));
    for (uint32_t v = static_cast<uint32_t>(glmPartStart(vertexcount, parts, part)) + 1; v <= end;
         v++) {
      first[v] = at;
      for (size_t run = runs; run-- > 0;) {
        uint32_t& counts = place[(size_t(vertexcount) + 1) * run + v];
        const uint32_t n = counts;
        counts = at;
        at += n;
      }
    }
  });
  first[vertexcount + 1] = part_first[parts];

  VertexUse* uses = static_cast<VertexUse*>(
      glmAlloc("glmVertexNormals", first[vertexcount + 1], sizeof(VertexUse), runs));
  glmRunTasks(runs, runs, [&](size_t run) {
    uint32_t* at = place + (size_t(vertexcount) + 1) * run;
    const uint32_t begin = static_cast<uint32_t>(glmPartStart(facecount, runs, run));
    for (uint32_t i = static_cast<uint32_t>(glmPartStart(facecount, runs, run + 1)); i-- > begin;) {
      const ModelFace& face = faces[i];
      for (int c = 2; c >= 0; c--) {
        uint32_t v = face.vertexidx[c];
        if (v - 1 < vertexcount) uses[at[v]++] = VertexUse{face.facetidx, 3 * i + c};
      }
    }
  });
  free(place);

  // Each part of the vertices works out its normals in one walk, into
  // scratch with room for the most there can be (one a use); a part then
  // knows where its normals go once those before it are counted. On one
  // thread the scratch is the array itself, cut to size after.
  free(model->normals);
  std::vector<size_t> lonely(parts);
  std::vector<uint32_t> made(size_t(parts) + 1);
  std::vector<float*> scratch(parts);
  const auto part_vertex = [&](size_t part) {
    return static_cast<uint32_t>(glmPartStart(vertexcount, parts, part)) + 1;
  };
  glmRunTasks(parts, parts, [&](size_t part) {
    const uint32_t from = part_vertex(part), to = part_vertex(part + 1) - 1;
    float* out = static_cast<float*>(glmAllocUnset(
        "glmVertexNormals", 3 * (size_t(first[to + 1] - first[from]) + 1), sizeof(float)));
    out[0] = out[1] = out[2] = 0.0f;
    scratch[part] = out;
    made[part + 1] = vertex_normals(parts == 1 ? faces : nullptr, facetnorms, threshold, uses,
                                    first, from, to, out, 0, &lonely[part]);
  });
  for (unsigned part = 0; part < parts; part++)
    for (size_t i = 0; i < lonely[part]; i++)
      fprintf(stderr, "glmVertexNormals(): vertex w/o a triangle\n");
  for (unsigned part = 0; part < parts; part++) made[part + 1] += made[part];
  model->normalcount = made[parts];
  if (parts == 1) {
    float* fitted =
        static_cast<float*>(realloc(scratch[0], 3 * (size_t(made[1]) + 1) * sizeof(float)));
    model->normals = fitted ? fitted : scratch[0];
  } else {
    float* normals = static_cast<float*>(
        glmAlloc("glmVertexNormals", 3 * (size_t(made[parts]) + 1), sizeof(float), parts));
    model->normals = normals;
    glmRunTasks(parts, parts, [&](size_t part) {
      memcpy(&normals[3 * (size_t(made[part]) + 1)], &scratch[part][3],
             3 * sizeof(float) * (made[part + 1] - made[part]));
      free(scratch[part]);
      set_normal_indices(faces, uses, first, part_vertex(part), part_vertex(part + 1) - 1,
                         made[part]);
    });
  }
  free(uses);
  free(first);
}
