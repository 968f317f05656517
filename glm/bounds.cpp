// bounds.cpp: operations on a model's positions as a whole: measuring its
// box, fitting it into the unit cube, scaling, moving and rewinding.
#include <cassert>
#include <cmath>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "glm/glm_internal.h"
#include "glm/parallel.h"

// Vertices per thread below which fitting stays on one thread.
static const size_t kVerticesPerThread = 1 << 16;

// Vertices first..last go into the box low/high, coordinate by coordinate,
// with the strict comparisons: a coordinate replaces the bound only when it
// is beyond it, so not-a-number never does. Four vertices at a time, in
// three vectors whose lanes hold the axes in turn, the lanes' bounds joined
// at the end. That may end on the other one of +0 and -0 than a scan one by
// one would, but nothing can tell: a zero bound moves the centre only when
// both bounds are zeros, and then no coordinate was beyond vertex 1's.
static void add_to_box(const float* v, uint32_t first, uint32_t last, float* low, float* high) {
  uint32_t i = first;
#ifdef __SSE2__
  if (last >= first + 3) {
    __m128 lo[3], hi[3];
    for (int k = 0; k < 3; k++) {
      lo[k] = _mm_setr_ps(low[k % 3], low[(k + 1) % 3], low[(k + 2) % 3], low[k % 3]);
      hi[k] = _mm_setr_ps(high[k % 3], high[(k + 1) % 3], high[(k + 2) % 3], high[k % 3]);
    }
    for (; i + 3 <= last; i += 4)
      for (int k = 0; k < 3; k++) {
        const __m128 c = _mm_loadu_ps(v + 3 * size_t(i) + 4 * k);
        lo[k] = _mm_min_ps(c, lo[k]);  // c < lo ? c : lo
        hi[k] = _mm_max_ps(c, hi[k]);  // c > hi ? c : hi
      }
    float lanes[2][12];
    for (int k = 0; k < 3; k++) {
      _mm_storeu_ps(lanes[0] + 4 * k, lo[k]);
      _mm_storeu_ps(lanes[1] + 4 * k, hi[k]);
    }
    for (int lane = 0; lane < 12; lane++) {
      const int axis = lane % 3;
      if (lanes[0][lane] < low[axis]) low[axis] = lanes[0][lane];
      if (lanes[1][lane] > high[axis]) high[axis] = lanes[1][lane];
    }
  }
#endif
  for (; i <= last; i++)
    for (int axis = 0; axis < 3; axis++) {
      const float c = v[3 * size_t(i) + axis];
      if (c > high[axis]) high[axis] = c;
      if (c < low[axis]) low[axis] = c;
    }
}

// Box of vertices 1..vertexcount. A model without vertices has the empty
// box at the origin. Each part of the vertices is scanned from vertex 1's
// coordinates, as the whole is, and the parts' boxes joined in order with
// the same strict comparisons: the box is bit for bit the one a single scan
// finds, not-a-number coordinates and signed zeros included.
static void scan_box(const Model* model, float* min, float* max) {
  const float* v = model->vertices;
  const uint32_t count = model->vertexcount;
  if (count == 0) {
    min[0] = min[1] = min[2] = max[0] = max[1] = max[2] = 0.0f;
    return;
  }
  const unsigned parts = glmThreadsFor(count, kVerticesPerThread);
  std::vector<float> boxes(6 * size_t(parts));
  glmRunTasks(parts, parts, [&](size_t part) {
    float* low = &boxes[6 * part];
    float* high = low + 3;
    for (int axis = 0; axis < 3; axis++) low[axis] = high[axis] = v[3 + axis];
    add_to_box(v, static_cast<uint32_t>(glmPartStart(count, parts, part)) + 1,
               static_cast<uint32_t>(glmPartStart(count, parts, part + 1)), low, high);
  });
  for (int axis = 0; axis < 3; axis++) min[axis] = max[axis] = boxes[axis];
  for (unsigned part = 0; part < parts; part++)
    for (int axis = 0; axis < 3; axis++) {
      if (boxes[6 * part + 3 + axis] > max[axis]) max[axis] = boxes[6 * part + 3 + axis];
      if (boxes[6 * part + axis] < min[axis]) min[axis] = boxes[6 * part + axis];
    }
}

// Extent is |max| + |min|, not max - min: the two agree once a model is
// centred, and models are fitted that way.
static void extents(const float* min, const float* max, float* dimensions) {
  for (int axis = 0; axis < 3; axis++) dimensions[axis] = glmAbs(max[axis]) + glmAbs(min[axis]);
}

float glmFitToUnitCube(Model* model) {
  assert(model);
  assert(model->vertices);
  float min[3], max[3], size[3];
  scan_box(model, min, max);
  extents(min, max, size);
  float centre[3];
  for (int axis = 0; axis < 3; axis++) centre[axis] = (max[axis] + min[axis]) / 2.0f;

  // All vertices at the origin (or none at all, or an extent so small that
  // 2 / extent overflows) leave nothing to scale by: keep the model as it
  // is instead of filling it with NaN or infinities.
  const float scale = 2.0f / glmMax(glmMax(size[0], size[1]), size[2]);
  if (!std::isfinite(scale)) return 1.0f;

  float* v = model->vertices;
  const uint32_t count = model->vertexcount;
  const unsigned parts = glmThreadsFor(count, kVerticesPerThread);
  glmRunTasks(parts, parts, [&](size_t part) {
    uint32_t i = static_cast<uint32_t>(glmPartStart(count, parts, part)) + 1;
    const uint32_t end = static_cast<uint32_t>(glmPartStart(count, parts, part + 1));
#ifdef __SSE2__
    // Four vertices at a time, each coordinate rounded after the
    // subtraction and after the product, as one at a time.
    __m128 at[3];
    for (int k = 0; k < 3; k++)
      at[k] = _mm_setr_ps(centre[k % 3], centre[(k + 1) % 3], centre[(k + 2) % 3], centre[k % 3]);
    const __m128 by = _mm_set1_ps(scale);
    for (; i + 3 <= end; i += 4)
      for (int k = 0; k < 3; k++) {
        float* c = v + 3 * size_t(i) + 4 * k;
        _mm_storeu_ps(c, _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(c), at[k]), by));
      }
#endif
    for (; i <= end; i++) {
      for (int axis = 0; axis < 3; axis++) {
        v[3 * i + axis] -= centre[axis];
        v[3 * i + axis] *= scale;
      }
    }
  });
  return scale;
}

void glmGetDimensions(Model* model, float* dimensions) {
  assert(model);
  assert(model->vertices);
  assert(dimensions);
  float min[3], max[3];
  scan_box(model, min, max);
  extents(min, max, dimensions);
}

void glmScaleVertices(Model* model, float scale) {
  float* v = model->vertices;
  for (uint32_t i = 1; i <= model->vertexcount; i++) {
    v[3 * i + 0] *= scale;
    v[3 * i + 1] *= scale;
    v[3 * i + 2] *= scale;
  }
}

void glmTranslateVertices(Model* model, const float* offset) {
  float* v = model->vertices;
  for (uint32_t i = 1; i <= model->vertexcount; i++) {
    v[3 * i + 0] += offset[0];
    v[3 * i + 1] += offset[1];
    v[3 * i + 2] += offset[2];
  }
}

static void swap_ends(uint32_t* corners) {
  uint32_t first = corners[0];
  corners[0] = corners[2];
  corners[2] = first;
}

static void negate_all(float* triples, uint32_t count) {
  for (uint32_t i = 1; i <= count; i++) {
    triples[3 * i + 0] = -triples[3 * i + 0];
    triples[3 * i + 1] = -triples[3 * i + 1];
    triples[3 * i + 2] = -triples[3 * i + 2];
  }
}

void glmFlipWinding(Model* model) {
  assert(model);
  for (uint32_t i = 0; i < model->facecount; i++) {
    ModelFace& face = model->faces[i];
    swap_ends(face.vertexidx);
    if (model->normalcount) swap_ends(face.normalidx);
    if (model->uvcount) swap_ends(face.uvidx);
  }
  if (model->facetnorms) negate_all(model->facetnorms, model->facetnormcount);
  if (model->normals) negate_all(model->normals, model->normalcount);
}
