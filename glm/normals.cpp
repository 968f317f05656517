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

#ifdef __SSE2__
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

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

// Sets face i's facet index and works out its unit normal.
static inline void facet_normal(ModelFace* faces, const float* vertices, uint32_t i,
                                float* facetnorms) {
  ModelFace& face = faces[i];
  face.facetidx = i + 1;
  const float* a = &vertices[3 * face.vertexidx[0]];
  const float* b = &vertices[3 * face.vertexidx[1]];
  const float* c = &vertices[3 * face.vertexidx[2]];
  float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  float* n = &facetnorms[3 * (i + 1)];
  glmCrossProduct(u, v, n);
  if (!divide_by_length(n) && (n[0] != 0.0f || n[1] != 0.0f || n[2] != 0.0f))
    wide_facet_normal(a, b, c, n);
}

#ifdef __SSE2__
// Four vectors, one a lane, each divided by its length as divide_by_length
// divides one, with the same single-precision operations in the same order,
// so the results are bit for bit the same. Returns a bit a lane: set where
// the squared length is a normal float; the other lanes are left for the
// scalar path.
static inline int divide_by_lengths(__m128* x, __m128* y, __m128* z) {
  const __m128 squared =
      _mm_add_ps(_mm_add_ps(_mm_mul_ps(*x, *x), _mm_mul_ps(*y, *y)), _mm_mul_ps(*z, *z));
  const int normal = _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(squared, _mm_set1_ps(FLT_MIN)),
                                                _mm_cmple_ps(squared, _mm_set1_ps(FLT_MAX))));
  const __m128 length = _mm_sqrt_ps(squared);
  *x = _mm_div_ps(*x, length);
  *y = _mm_div_ps(*y, length);
  *z = _mm_div_ps(*z, length);
  return normal;
}

// Stores x, y, z of a lane vector, and nothing after them. Floats are only
// 4-byte aligned: the 8-byte moves are the unaligned kind.
static inline void store_triple(float* out, __m128 v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_castps_si128(v));
  _mm_store_ss(out + 2, _mm_movehl_ps(v, v));
}

// One vertex as x, y, z, 0, without reading past its three floats.
static inline __m128 load_vertex(const float* vertices, uint32_t v) {
  const float* p = &vertices[3 * size_t(v)];
  return _mm_movelh_ps(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))),
                       _mm_load_ss(p + 2));
}

// The cross product of a face's edges, lane by lane the sums facet_normal makes.
static inline __m128 edge_cross(const float* vertices, const ModelFace& face) {
  const __m128 a = load_vertex(vertices, face.vertexidx[0]);
  const __m128 u = _mm_sub_ps(load_vertex(vertices, face.vertexidx[1]), a);
  const __m128 v = _mm_sub_ps(load_vertex(vertices, face.vertexidx[2]), a);
  const __m128 u_yzx = _mm_shuffle_ps(u, u, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 u_zxy = _mm_shuffle_ps(u, u, _MM_SHUFFLE(3, 1, 0, 2));
  const __m128 v_yzx = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 v_zxy = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 0, 2));
  return _mm_sub_ps(_mm_mul_ps(u_yzx, v_zxy), _mm_mul_ps(u_zxy, v_yzx));
}

// Faces begin..end-1 four at a time: the square roots and divisions of four
// normals cost what one costs. A face whose squared length is not a normal
// float goes through facet_normal.
static void facet_normals(ModelFace* faces, const float* vertices, uint32_t begin, uint32_t end,
                          float* facetnorms) {
  uint32_t i = begin;
  for (; size_t(i) + 4 <= end; i += 4) {
    __m128 x = edge_cross(vertices, faces[i]), y = edge_cross(vertices, faces[i + 1]);
    __m128 z = edge_cross(vertices, faces[i + 2]), w = edge_cross(vertices, faces[i + 3]);
    _MM_TRANSPOSE4_PS(x, y, z, w);
    const int normal = divide_by_lengths(&x, &y, &z);
    _MM_TRANSPOSE4_PS(x, y, z, w);
    const __m128 n[4] = {x, y, z, w};
    for (uint32_t k = 0; k < 4; k++) {
      if (!(normal >> k & 1)) {
        facet_normal(faces, vertices, i + k, facetnorms);
        continue;
      }
      faces[i + k].facetidx = i + k + 1;
      store_triple(&facetnorms[3 * (size_t(i + k) + 1)], n[k]);
    }
  }
  for (; i < end; i++) facet_normal(faces, vertices, i, facetnorms);
}
#else
static void facet_normals(ModelFace* faces, const float* vertices, uint32_t begin, uint32_t end,
                          float* facetnorms) {
  for (uint32_t i = begin; i < end; i++) facet_normal(faces, vertices, i, facetnorms);
}
#endif

void glmComputeFacetNormals(Model* model) {
  assert(model);
  assert(model->vertices);
  free(model->facetnorms);
  model->facetnormcount = model->facecount;
  const uint32_t facecount = model->facecount;
  const unsigned parts = glmThreadsFor(facecount, kFacesPerThread);
  // Every normal is written; each thread faults in its own part.
  model->facetnorms = static_cast<float*>(glmAllocUnset(
      "glmComputeFacetNormals", 3 * (size_t(model->facetnormcount) + 1), sizeof(float)));
  model->facetnorms[0] = model->facetnorms[1] = model->facetnorms[2] = 0.0f;
  glmRunTasks(parts, parts, [&](size_t part) {
    facet_normals(
        model->faces, model->vertices, static_cast<uint32_t>(glmPartStart(facecount, parts, part)),
        static_cast<uint32_t>(glmPartStart(facecount, parts, part + 1)), model->facetnorms);
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

// Whether a use with facet normal n is within the angle of its vertex's
// head normal h: the one test every use goes through, whichever walk.
static inline bool within(const float* n, const float* h, float threshold) {
  return n[0] * h[0] + n[1] * h[1] + n[2] * h[2] > threshold;
}

// What vertices from..to make: their normals, the copies among them and
// the vertices no face uses.
struct NormalCounts {
  uint32_t normals = 0;
  uint32_t copies = 0;
  size_t lonely = 0;
};

// Walks every face down and sums the uses of vertices from..to, in use
// order, so the sums come out bit for bit as from per-vertex lists. Each of
// their corners is given normal v meanwhile: right when every vertex ends
// with one shared normal, as on a smooth mesh, which saves a walk.
static NormalCounts gather_uses(ModelFace* faces, uint32_t facecount, const float* facetnorms,
                                float threshold, VertexSum* sums, uint32_t from, uint32_t to) {
  NormalCounts counts;
  if (to < from) return counts;
  uint32_t used = 0;
  for (uint32_t i = facecount; i-- > 0;) {
    ModelFace& face = faces[i];
    const uint32_t facet = face.facetidx;
    // A copy: the compiler cannot tell that the stores to the sums leave
    // the facet normals alone, and would read them again for every corner.
    const float n[3] = {facetnorms[3 * facet], facetnorms[3 * facet + 1],
                        facetnorms[3 * facet + 2]};
    for (int c = 2; c >= 0; c--) {
      const uint32_t v = face.vertexidx[c];
      if (v - from > to - from) continue;
      face.normalidx[c] = v;
      VertexSum& s = sums[v];
      if (!(s.shared | s.separate)) {
        s.head = facet;
        used++;
      }
      if (within(n, &facetnorms[3 * s.head], threshold)) {
        s.sum[0] += n[0];
        s.sum[1] += n[1];
        s.sum[2] += n[2];
        counts.normals += s.shared ? 0 : 1;
        s.shared = 1;
      } else {
        s.separate++;
        counts.copies++;
      }
    }
  }
  counts.normals += counts.copies;
  counts.lonely = size_t(to - from) + 1 - used;
  return counts;
}

// Numbers vertex s's normals from next on, its shared normal (stored, from
// unit when given) first, then room for its copies; returns the next number.
static inline uint32_t place_vertex(VertexSum& s, const float* unit, uint32_t next,
                                    float* normals) {
  if (s.shared) {
    if (!unit) {
      glmNormalizeVector(s.sum);
      unit = s.sum;
    }
    memcpy(&normals[3 * size_t(next)], unit, 3 * sizeof(float));
    s.shared = next++;
  }
  const uint32_t copies = s.separate;
  s.separate = next;
  return next + copies;
}

// Stores the shared normals of vertices from..to and numbers their normals
// from next on, four vertices at a time where it can.
static void place_shared(VertexSum* sums, uint32_t from, uint32_t to, uint32_t next,
                         float* normals) {
  uint32_t v = from;
#ifdef __SSE2__
  for (; size_t(v) + 3 <= to; v += 4) {
    __m128 x = _mm_loadu_ps(sums[v].sum), y = _mm_loadu_ps(sums[v + 1].sum);
    __m128 z = _mm_loadu_ps(sums[v + 2].sum), w = _mm_loadu_ps(sums[v + 3].sum);
    _MM_TRANSPOSE4_PS(x, y, z, w);
    const int normal = divide_by_lengths(&x, &y, &z);
    _MM_TRANSPOSE4_PS(x, y, z, w);
    float unit[4][4];
    _mm_storeu_ps(unit[0], x);
    _mm_storeu_ps(unit[1], y);
    _mm_storeu_ps(unit[2], z);
    _mm_storeu_ps(unit[3], w);
    for (uint32_t k = 0; k < 4; k++)
      next = place_vertex(sums[v + k], normal >> k & 1 ? unit[k] : nullptr, next, normals);
  }
#endif
  for (; v <= to; v++) next = place_vertex(sums[v], nullptr, next, normals);
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
      if (!compare || within(&facetnorms[3 * face.facetidx], &facetnorms[3 * s.head], threshold)) {
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
  // every vertex's uses are summed in order without a lock; a thread
  // writes only the corners of its own vertices. The sums lie on 2 MB
  // pages, so threads touching them at random places fault seldom.
  const unsigned parts = glmThreadsFor(vertexcount, kVerticesPerThread);
  VertexSum* sums = static_cast<VertexSum*>(
      glmAllocZeroedScratch("glmVertexNormals", size_t(vertexcount) + 1, sizeof(VertexSum)));
  const auto part_vertex = [&](size_t part) {
    return static_cast<uint32_t>(glmPartStart(vertexcount, parts, part)) + 1;
  };
  std::vector<NormalCounts> counts(parts);
  glmRunTasks(parts, parts, [&](size_t part) {
    counts[part] = gather_uses(faces, facecount, facetnorms, threshold, sums, part_vertex(part),
                               part_vertex(part + 1) - 1);
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

  // Every vertex with just its shared normal (no copies, none unused): the
  // walk above has numbered the corners already. Otherwise corners with the
  // shared normal are set by runs of faces; the copies, numbered in use
  // order, by one walk when there are any.
  if (!copies && model->normalcount == vertexcount) {
    glmFreeZeroedScratch(sums, size_t(vertexcount) + 1, sizeof(VertexSum));
    return;
  }
  const unsigned runs = glmThreadsFor(facecount, kFacesPerThread);
  glmRunTasks(runs, runs, [&](size_t run) {
    set_corners(faces, static_cast<uint32_t>(glmPartStart(facecount, runs, run)),
                static_cast<uint32_t>(glmPartStart(facecount, runs, run + 1)), vertexcount,
                facetnorms, threshold, sums, true, copies && runs == 1, copies, normals);
  });
  if (copies && runs > 1)
    set_corners(faces, 0, facecount, vertexcount, facetnorms, threshold, sums, false, true, true,
                normals);
  glmFreeZeroedScratch(sums, size_t(vertexcount) + 1, sizeof(VertexSum));
}
