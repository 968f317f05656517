// texcoords.cpp: generated texture coordinates, projected from the
// positions onto the x-z plane or turned from the normals' directions.
#include <cassert>
#include <cmath>
#include <cstdlib>

#include "glm/glm_internal.h"

// Points the corners of every face the groups list at new coordinates.
static void point_corners(Model* model, bool by_normal) {
  for (ModelGroup* group = model->grouplist; group; group = group->next) {
    for (uint32_t i = 0; i < group->facecount; i++) {
      ModelFace& face = model->faces[group->faceindices[i]];
      for (int k = 0; k < 3; k++) face.uvidx[k] = by_normal ? face.normalidx[k] : face.vertexidx[k];
    }
  }
}

static float* new_uvs(Model* model, uint32_t count, const char* operation) {
  free(model->uvs);
  model->uvcount = count;
  model->uvs = static_cast<float*>(glmAlloc(operation, 2 * (size_t(count) + 1), sizeof(float)));
  return model->uvs;
}

void glmPlanarUVs(Model* model) {
  assert(model);
  float* uvs = new_uvs(model, model->vertexcount, "glmPlanarUVs");
  float dimensions[3];
  glmGetDimensions(model, dimensions);
  float scale = 2.0f / glmAbs(glmMax(glmMax(dimensions[0], dimensions[1]), dimensions[2]));
  // A model with every vertex at the origin has no extent to divide by:
  // leave its coordinates unscaled, all at the middle of the texture.
  if (!std::isfinite(scale)) scale = 1.0f;
  const float* v = model->vertices;
  for (uint32_t i = 1; i <= model->vertexcount; i++) {
    const float x = v[3 * i + 0] * scale;
    const float z = v[3 * i + 2] * scale;
    uvs[2 * i + 0] = (x + 1.0f) / 2.0f;
    uvs[2 * i + 1] = (z + 1.0f) / 2.0f;
  }
  point_corners(model, false);
}

void glmSphereMapUVs(Model* model) {
  assert(model);
  assert(model->normals);
  float* uvs = new_uvs(model, model->normalcount, "glmSphereMapUVs");
  const float* n = model->normals;
  for (uint32_t i = 1; i <= model->normalcount; i++) {
    const float x = n[3 * i + 0], y = n[3 * i + 1], z = n[3 * i + 2];
    const float r = sqrtf(z * z + y * y);
    const float rho = sqrtf(r * r + x * x);
    float theta = 0.0f, phi = 0.0f;
    if (r != 0.0f) {
      // The constants mix single and double precision on purpose: the
      // coordinates textures were made for depend on the exact values.
      phi = x == 0.0f ? 1.5707964f : acosf(x / rho);
      theta = y == 0.0f ? 1.5707961f : static_cast<float>(asinf(y / r) + 1.570796325);
    }
    uvs[2 * i + 0] = static_cast<float>(theta / 3.14159265);
    uvs[2 * i + 1] = static_cast<float>(phi / 3.14159265);
  }
  point_corners(model, true);
}
