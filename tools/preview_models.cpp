// preview_models: renders the shipped models offscreen with the player's own
// drawing code (lighting, Polished_Gold, keys, drumsticks in all their poses,
// strings, models in their places and scheme colours), without a window, and
// writes one PPM picture per view. For looking at the models after changing
// the generator.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/osmesa.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "glm/glm.h"
#include "scene/lighting.h"
#include "scene/scene.h"

namespace {

constexpr int kSize = 500;

struct Shot {
  const char* name;
  bool piano, drum, guitar;
  float rot_x, rot_y;       // the player's scene rotations
  float eye[3], centre[3];  // camera
  int scheme;               // colour scheme of every model
  float focus[3];           // scene point turned about (the kit's or a guitar's origin)
};

// Read, fitted and smoothed as the instrument menu does.
Model* load(const std::string& path) {
  Model* model = glmReadOBJ(path.c_str());
  glmFitToUnitCube(model);
  glmComputeFacetNormals(model);
  glmVertexNormals(model, 90.0f);
  return model;
}

// All six drumstick poses, at rest and striking, drawn at once.
void drawEveryStickPose() {
  const StickPose poses[6] = {{90, 1, 0, 0, -0.2f, 0.5f},     {90, 1, 0, 0.1f, -0.2f, 0.5f},
                              {135, 1, 0, -0.4f, 0.3f, 0.5f}, {135, 1, 0, 0.4f, 0.3f, 0.55f},
                              {135, 1, 5, 0.4f, 0, 1.0f},     {135, 1, -5, -0.4f, 0, 0.9f}};
  glColor3f(0.9f, 0.1f, 0.1f);
  for (int k = 0; k < 6; k += 2) {
    appState.leftStick = poses[k];
    appState.rightStick = poses[k + 1];
    drawDrumsticks();
  }
}

// The chord markers' places; the player draws them with GLUT, which needs a
// window, so a GLU sphere of the same size stands in.
void drawMarkers(GLUquadric* quadric) {
  for (float x : {2.0f, -3.0f}) {
    glPushMatrix();
    glTranslatef(x, 0, 0);
    glColor3f(0, 3, 0);
    gluSphere(quadric, 0.1, 3, 3);
    glPopMatrix();
  }
}

bool write_ppm(const std::string& path, const std::vector<unsigned char>& rgba) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  fprintf(file, "P6\n%d %d\n255\n", kSize, kSize);
  for (int y = kSize - 1; y >= 0; y--)
    for (int x = 0; x < kSize; x++) fwrite(&rgba[4 * (y * kSize + x)], 1, 3, file);
  return fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: preview_models DATADIR OUTDIR\n");
    return 2;
  }
  const std::string data = argv[1], out = argv[2];
  std::vector<unsigned char> pixels(4 * kSize * kSize);
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
  if (!context || !OSMesaMakeCurrent(context, pixels.data(), GL_UNSIGNED_BYTE, kSize, kSize)) {
    fprintf(stderr, "preview_models: no OSMesa context\n");
    return 1;
  }
  Model* piano = load(data + "/piano.obj");
  Model* drum = nullptr;
  Model* guitar = nullptr;
  if (FILE* f = fopen((data + "/drum.obj").c_str(), "rb"))
    fclose(f), drum = load(data + "/drum.obj");
  if (FILE* f = fopen((data + "/gita.obj").c_str(), "rb"))
    fclose(f), guitar = load(data + "/gita.obj");
  GLUquadric* quadric = gluNewQuadric();

  // The drum kit's origin lands at (0, 6.43, -7.66) and the front guitar's
  // at (10, 0, 0) before the camera; the close views aim there.
  const Shot shots[] = {
      {"piano_player", true, false, false, 0, 0, {0, 0, 10}, {0, 0, 9}, 9, {}},
      {"piano_dark", true, false, false, 0, 0, {0, 0, 10}, {0, 0, 9}, 0, {}},
      {"piano_left", true, false, false, 10, 35, {0, 0, 9}, {0, 0, 8}, 9, {}},
      {"piano_side", true, false, false, -30, 80, {0, 0, 10}, {0, 0, 9}, 9, {}},
      {"drum_player", false, true, false, 0, 0, {0, 0, 10}, {0, 6.43f, -7.66f}, 9, {}},
      {"drum_close", false, true, false, 0, 0, {0, 6.43f, 2}, {0, 6.43f, -7.66f}, 9, {}},
      {"drum_left", false, true, false, 10, 50, {0, 0, 9}, {0, 0, 8}, 9, {0, 1.915f, 1.607f}},
      {"drum_right", false, true, false, 10, -50, {0, 0, 9}, {0, 0, 8}, 9, {0, 1.915f, 1.607f}},
      {"drum_low", false, true, false, -30, 0, {0, 0, 7}, {0, 0, 6}, 9, {0, 1.915f, 1.607f}},
      {"drum_back", false, true, false, 20, 180, {0, 0, 9}, {0, 0, 8}, 9, {0, 1.915f, 1.607f}},
      {"guitar_front", false, false, true, 0, 0, {0, 0, 9}, {0, 0, 8}, 9, {2.5f, 0, 0}},
      {"guitar_tilt", false, false, true, -40, 35, {0, 0, 8}, {0, 0, 7}, 9, {2.5f, 0, 0}},
      {"guitar_head", false, false, true, -20, 30, {0, 0, 2.5f}, {0, 0, 1.5f}, 9, {1.55f, 0, 0}},
      {"guitar_body", false, false, true, 0, 0, {0, 0, 4}, {0, 0, 3}, 9, {2.9f, 0, 0}},
      {"guitar_back", false, false, true, 0, 180, {0, 0, 9}, {0, 0, 8}, 9, {2.5f, 0, 0}},
      {"guitar_player", false, false, true, 0, 0, {0, 0, 10}, {10, 0, 0}, 0, {}},
      {"all_player", true, true, true, 0, 0, {0, 0, 10}, {0, 0, 9}, 0, {}},
  };
  initAppState();
  initLighting();
  applyMaterial(materialTable[kPolishedGold - 1]);
  appState.drawMode = MODE_SMOOTH;
  for (const Shot& s : shots) {
    if ((s.drum && !drum) || (s.guitar && !guitar)) continue;
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60, 1, 0.01, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gluLookAt(s.eye[0], s.eye[1], s.eye[2], s.centre[0], s.centre[1], s.centre[2], 0, 1, 0);
    glRotatef(s.rot_x, 1, 0, 0);
    glRotatef(s.rot_y, 0, 1, 0);
    glScalef(4, 4, 4);
    glRotatef(-90, 1, 0, 0);
    glTranslatef(-s.focus[0], -s.focus[1], -s.focus[2]);
    glDisable(GL_CULL_FACE);
    if (s.piano) drawPianoKeys();
    if (s.drum) drawEveryStickPose();
    if (s.guitar) {
      drawGuitarOverlays();
      drawMarkers(quadric);
    }
    appState.models[Piano] = s.piano ? piano : nullptr;
    appState.models[Drum] = s.drum ? drum : nullptr;
    appState.models[Guitar] = s.guitar ? guitar : nullptr;
    for (int32_t& scheme : appState.colorScheme) scheme = s.scheme;
    drawInstrumentModels();
    glFinish();
    if (!write_ppm(out + "/" + s.name + ".ppm", pixels)) {
      fprintf(stderr, "preview_models: can't write %s/%s.ppm\n", out.c_str(), s.name);
      return 1;
    }
  }
  gluDeleteQuadric(quadric);
  OSMesaDestroyContext(context);
  return 0;
}
