#include <GL/freeglut.h>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "scene/lighting.h"

static const char* const modelPath[3] = {"data/piano.obj", "data/drum.obj", "data/gita.obj"};

void loadInstruments(const char* const name[3]) {
  AppState& s = appState;
  for (int i = Piano; i <= Guitar; i++) {
    // Every choice reads each shown model afresh; the one it replaces is
    // released so that toggling does not grow memory.
    Model* previous = s.models[i];
    s.models[i] = nullptr;
    if (previous) glmDestroy(previous);
    if (s.shown[i] == 1) {
      Model* model = glmReadOBJ(name[i]);
      glmFitToUnitCube(model);
      glmComputeFacetNormals(model);
      glmVertexNormals(model, 90.0f);
      s.models[i] = model;
    }
  }
}

void instrumentMenu(int value) {
  AppState& s = appState;
  if (value >= 49 && value <= 51) {
    Flag& flag = s.shown[value - 49];
    flag = flag == 0 ? 1 : 0;
  }

  const char* name[3] = {nullptr, nullptr, nullptr};
  for (int i = Piano; i <= Guitar; i++) {
    if (s.shown[i] != 1) continue;
    name[i] = modelPath[i];
    s.drawMode = MODE_SMOOTH;
    applyMaterial(materialTable[kPolishedGold - 1]);
    if (i == Guitar) glDisable(GL_CULL_FACE);
  }
  loadInstruments(name);
  glutPostRedisplay();
}
