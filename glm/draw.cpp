// draw.cpp: sending a model to OpenGL in immediate mode, group by group,
// and recording the same into a display list. The only file of the model
// library that calls OpenGL.
#include <GL/gl.h>

#include <cassert>
#include <cstdio>

#include "glm/glm_internal.h"

namespace {

// What each step of mode reconciliation prints when it drops a request.
const char* const kDrawWarnings[7] = {
    "glmDraw() warning: flat render mode requested with no facet normals defined.\n",
    "glmDraw() warning: smooth render mode requested with no normals defined.\n",
    "glmDraw() warning: texture render mode requested with no texture coordinates "
    "defined.\n",
    "glmDraw() warning: flat render mode requested and smooth render mode requested (using "
    "smooth).\n",
    "glmDraw() warning: color render mode requested with no materials defined.\n",
    "glmDraw() warning: material render mode requested with no materials defined.\n",
    "glmDraw() warning: color and material render mode requested using only material "
    "mode.\n",
};

}  // namespace

void glmDraw(Model* model, unsigned int mode) {
  assert(model);
  assert(model->vertices);
  mode = glmReconcileMode(model, mode, kDrawWarnings);

  if (mode & MODE_COLOR)
    glEnable(GL_COLOR_MATERIAL);
  else if (mode & MODE_MATERIAL)
    glDisable(GL_COLOR_MATERIAL);

  const bool wireframe = (mode & MODE_WIREFRAME) != 0;
  for (const ModelGroup* group = model->grouplist; group; group = group->next) {
    if (mode & (MODE_MATERIAL | MODE_COLOR)) {
      const ModelMaterial& material = glmGroupMaterial(model, group);
      if (mode & MODE_MATERIAL) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ka);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.kd);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.ks);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.exponent);
      }
      if (mode & MODE_COLOR) glColor3fv(material.kd);
    }
    if (!wireframe) glBegin(GL_TRIANGLES);
    for (uint32_t i = 0; i < group->facecount; i++) {
      const ModelFace& face = model->faces[group->faceindices[i]];
      if (wireframe) glBegin(GL_LINE_LOOP);
      if (mode & MODE_FLAT) glNormal3fv(&model->facetnorms[3 * face.facetidx]);
      for (int k = 0; k < 3; k++) {
        if (mode & MODE_SMOOTH) glNormal3fv(&model->normals[3 * face.normalidx[k]]);
        if (mode & MODE_TEXTURE) glTexCoord2fv(&model->uvs[2 * face.uvidx[k]]);
        glVertex3fv(&model->vertices[3 * face.vertexidx[k]]);
      }
      if (wireframe) glEnd();
    }
    if (!wireframe) glEnd();
  }
}

unsigned int glmCompileList(Model* model, unsigned int mode) {
  const GLuint list = glGenLists(1);
  // Without a free name there is nothing to record into.
  if (list == 0) {
    fputs("glmCompileList() warning: no display list name is free.\n", stdout);
    return 0;
  }
  glNewList(list, GL_COMPILE);
  glmDraw(model, mode);
  glEndList();
  return list;
}
