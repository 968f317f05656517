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

// What glmVertexNormals keeps of one vertex. A vertex's uses are its face
// corners from the highest-numbered face down (within a face, the last
// corner first); the first is its head, and every use is compared with the
// head's facet normal, never with its neighbours.
struct VertexSum {
  float sum[3];       // facet normals of the uses within the angle, in use order
  uint32_t head;      // the head's facet normal
  uint32_t separate;  // uses outside the angle; then the index of the next copy
  uint32_t shared;    // nonzero once a use is within the angle; then its index
};

static inline bool within(const float* facetnorms, float threshold, uint32_t facet, uint32_t head) {
  return glmDotProduct(&facetnorms[3 * facet], &facetnorms[3 * head]) > threshold;
}

// Walks every face down and sums the uses of vertices from..to, in use
// order, so the sums come out bit for bit as from per-vertex lists.
static void gather_uses(const ModelFace* faces, uint32_t facecount, const float* facetnorms,
                        float threshold, VertexSum* sums, uint32_t from, uint32_t to) {
  if (to < from) return;
  for (uint32_t i = facecount; i-- > 0;) {
    const ModelFace& face = faces[i];
    const uint32_t facet = face.facetidx;
    const float* n = &facetnorms[3 * facet];
    for (int c = 2; c >= 0; c--) {
      const uint32_t v = face.vertexidx[c];
      if (v - from > to - from) continue;
      VertexSum& s = sums[v];
      if (!(s.shared | s.separate)) s.head = facet;
      if (within(facetnorms, threshold, facet, s.head)) {
        s.sum[0] += n[0];
        s.sum[1] += n[1];
        s.sum[2] += n[2];
        s.shared = 1;
      } else {
        s.separate++;
      }
    }
  }
}

// What vertices from..to make: their normals, the copies among them and
// the vertices no face uses.
struct NormalCounts {
  uint32_t normals = 0;
  uint32_t copies = 0;
  size_t lonely = 0;
};

static NormalCounts count_normals(const VertexSum* sums, uint32_t from, uint32_t to) {
  NormalCounts n;
  for (uint32_t v = from; v <= to; v++) {
    if (!(sums[v].shared | sums[v].separate)) n.lonely++;
    n.normals += (sums[v].shared ? 1 : 0) + sums[v].separate;
    n.copies += sums[v].separate;
  }
  return n;
}

// Stores the shared normals of vertices from..to, numbering each vertex's
// normals from next on: its shared normal, then room for its copies.
static void place_shared(VertexSum* sums, uint32_t from, uint32_t to, uint32_t next,
                         float* normals) {
  for (uint32_t v = from; v <= to; v++) {
    VertexSum& s = sums[v];
    if (s.shared) {
      glmNormalizeVector(s.sum);
      memcpy(&normals[3 * size_t(next)], s.sum, sizeof s.sum);
      s.shared = next++;
    }
    const uint32_t copies = s.separate;
    s.separate = next;
    next += copies;
  }
}

// Sets the corners of faces begin..end-1, walking down. With shared, the
// corners within the angle take their vertex's shared normal; with copies,
// the others take their vertex's next copy of their facet normal, which
// must then be a walk of all faces on one thread. compare is false when
// every use is within the angle.
static void set_corners(ModelFace* faces, uint32_t begin, uint32_t end, uint32_t vertexcount,
                        const float* facetnorms, float threshold, VertexSum* sums, bool shared,
                        bool copies, bool compare, float* normals) {
  for (uint32_t i = end; i-- > begin;) {
    ModelFace& face = faces[i];
    for (int c = 2; c >= 0; c--) {
      const uint32_t v = face.vertexidx[c];
      if (v - 1 >= vertexcount) continue;  // only a hand-built model has such corners
      VertexSum& s = sums[v];
      if (!compare || within(facetnorms, threshold, face.facetidx, s.head)) {
        if (shared) face.normalidx[c] = s.shared;
      } else if (copies) {
        const uint32_t index = s.separate++;
        memcpy(&normals[3 * size_t(index)], &facetnorms[3 * face.facetidx], 3 * sizeof(float));
        face.normalidx[c] = index;
      }
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
  // Up to one normal a corner, numbered in 32 bits.
  if (facecount > (UINT32_MAX - 1) / 3) {
    GlmFailure failure;
    glmFail(&failure, false, "glmVertexNormals() failed: too many faces (%u).\n", facecount);
    glmDie(failure);
  }

  // Each part of the vertices walks all faces for its own vertices, so
  // every vertex's uses are summed in order without a lock; the faces are
  // only read.
  const unsigned parts = glmThreadsFor(vertexcount, kVerticesPerThread);
  VertexSum* sums = static_cast<VertexSum*>(
      glmAlloc("glmVertexNormals", size_t(vertexcount) + 1, sizeof(VertexSum), parts));
  const auto part_vertex = [&](size_t part) {
    return static_cast<uint32_t>(glmPartStart(vertexcount, parts, part)) + 1;
  };
  glmRunTasks(parts, parts, [&](size_t part) {
    gather_uses(faces, facecount, facetnorms, threshold, sums, part_vertex(part),
                part_vertex(part + 1) - 1);
  });

  std::vector<NormalCounts> counts(parts);
  glmRunTasks(parts, parts, [&](size_t part) {
    counts[part] = count_normals(sums, part_vertex(part), part_vertex(part + 1) - 1);
  });
  std::vector<uint32_t> made(size_t(parts) + 1);
  bool copies = false;
  for (unsigned part = 0; part < parts; part++) {
    for (size_t i = 0; i < counts[part].lonely; i++)
      fprintf(stderr, "glmVertexNormals(): vertex w/o a triangle\n");
    made[part + 1] = made[part] + counts[part].normals;
    copies |= counts[part].copies != 0;
  }

  free(model->normals);
  model->normalcount = made[parts];
  float* normals = static_cast<float*>(
      glmAllocUnset("glmVertexNormals", 3 * (size_t(made[parts]) + 1), sizeof(float)));
  normals[0] = normals[1] = normals[2] = 0.0f;
  model->normals = normals;
  glmRunTasks(parts, parts, [&](size_t part) {
    place_shared(sums, part_vertex(part), part_vertex(part + 1) - 1, made[part] + 1, normals);
  });

  // Corners with the shared normal are set by runs of faces; the copies,
  // numbered in use order, by one walk when there are any.
  const unsigned runs = glmThreadsFor(facecount, kFacesPerThread);
  glmRunTasks(runs, runs, [&](size_t run) {
    set_corners(faces, static_cast<uint32_t>(glmPartStart(facecount, runs, run)),
                static_cast<uint32_t>(glmPartStart(facecount, runs, run + 1)), vertexcount,
                facetnorms, threshold, sums, true, copies && runs == 1, copies, normals);
  });
  if (copies && runs > 1)
    set_corners(faces, 0, facecount, vertexcount, facetnorms, threshold, sums, false, true, true,
                normals);
  free(sums);
}
