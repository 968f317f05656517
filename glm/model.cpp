// model.cpp: the model record's life: group look-up and creation, material
// look-up, and freeing everything a model owns.
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "glm/glm_internal.h"

ModelGroup* glmLookupGroup(Model* model, const char* name) {
  assert(model);
  for (ModelGroup* group = model->grouplist; group; group = group->next)
    if (strcmp(name, group->name) == 0) return group;
  return nullptr;
}

ModelGroup* glmEnsureGroup(Model* model, const char* name) {
  ModelGroup* group = glmLookupGroup(model, name);
  if (group) return group;
  group = static_cast<ModelGroup*>(glmAlloc("glmEnsureGroup", 1, sizeof(ModelGroup)));
  group->name = glmStrdup("glmEnsureGroup", name, strlen(name));
  group->next = model->grouplist;
  model->grouplist = group;
  model->groupcount++;
  return group;
}

bool glmLookupMaterial(const Model* model, const char* name, uint32_t* index) {
  for (uint32_t i = 0; i < model->mtlcount; i++)
    if (strcmp(model->mtltable[i].name, name) == 0) {
      *index = i;
      return true;
    }
  *index = 0;
  return false;
}

uint32_t glmFindMaterial(Model* model, const char* name) {
  uint32_t index;
  if (!glmLookupMaterial(model, name, &index))
    printf("glmFindMaterial():  can't find material \"%s\".\n", name);
  return index;
}

void glmDestroy(Model* model) {
  assert(model);
  free(model->objpath);
  free(model->mtlfile);
  free(model->vertices);
  free(model->normals);
  free(model->uvs);
  free(model->facetnorms);
  free(model->faces);
  if (model->mtltable) {
    for (uint32_t i = 0; i < model->mtlcount; i++) free(model->mtltable[i].name);
    free(model->mtltable);
  }
  ModelGroup* group = model->grouplist;
  while (group) {
    ModelGroup* next = group->next;
    free(group->name);
    free(group->faceindices);
    free(group);
    group = next;
  }
  free(model);
}

unsigned int glmReconcileMode(const Model* model, unsigned int mode,
                              const char* const messages[7]) {
  const auto drop = [&](int step, unsigned int flag, bool lacking) {
    if ((mode & flag) && lacking) {
      fputs(messages[step], stdout);
      mode &= ~flag;
    }
  };
  drop(0, MODE_FLAT, !model->facetnorms);
  drop(1, MODE_SMOOTH, !model->normals);
  drop(2, MODE_TEXTURE, !model->uvs);
  drop(3, MODE_FLAT, (mode & MODE_SMOOTH) != 0);
  drop(4, MODE_COLOR, !model->mtltable);
  drop(5, MODE_MATERIAL, !model->mtltable);
  drop(6, MODE_COLOR, (mode & MODE_MATERIAL) != 0);
  return mode;
}
