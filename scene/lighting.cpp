#include "scene/lighting.h"

#include <GL/freeglut.h>

#include <cstring>

const Material materialTable[19] = {
    {{0.329412f, 0.223529f, 0.027451f, 1.0f},
     {0.780392f, 0.568627f, 0.113725f, 1.0f},
     {0.992157f, 0.941176f, 0.807843f, 1.0f},
     27.8974f},
    {{0.2125f, 0.1275f, 0.054f, 1.0f},
     {0.714f, 0.4284f, 0.18144f, 1.0f},
     {0.393548f, 0.271906f, 0.166721f, 1.0f},
     25.6f},
    {{0.25f, 0.148f, 0.06475f, 1.0f},
     {0.4f, 0.2368f, 0.1036f, 1.0f},
     {0.774597f, 0.458561f, 0.200621f, 1.0f},
     76.8f},
    {{0.25f, 0.25f, 0.25f, 1.0f},
     {0.4f, 0.4f, 0.4f, 1.0f},
     {0.774597f, 0.774597f, 0.774597f, 1.0f},
     76.8f},
    {{0.19125f, 0.0735f, 0.0225f, 1.0f},
     {0.7038f, 0.27048f, 0.0828f, 1.0f},
     {0.256777f, 0.137622f, 0.086014f, 1.0f},
     12.8f},
    {{0.2295f, 0.08825f, 0.0275f, 1.0f},
     {0.5508f, 0.2118f, 0.066f, 1.0f},
     {0.580594f, 0.223257f, 0.06957f, 1.0f},
     51.2f},
    {{0.24725f, 0.1995f, 0.0745f, 1.0f},
     {0.75164f, 0.60648f, 0.22648f, 1.0f},
     {0.628281f, 0.555802f, 0.366065f, 1.0f},
     51.2f},
    {{0.24725f, 0.2245f, 0.0645f, 1.0f},
     {0.34615f, 0.3143f, 0.0903f, 1.0f},
     {0.797357f, 0.723991f, 0.208006f, 1.0f},
     83.2f},
    {{0.105882f, 0.058824f, 0.113725f, 1.0f},
     {0.427451f, 0.470588f, 0.541176f, 1.0f},
     {0.333333f, 0.333333f, 0.521569f, 1.0f},
     9.84615f},
    {{0.19225f, 0.19225f, 0.19225f, 1.0f},
     {0.50754f, 0.50754f, 0.50754f, 1.0f},
     {0.508273f, 0.508273f, 0.508273f, 1.0f},
     51.2f},
    {{0.23125f, 0.23125f, 0.23125f, 1.0f},
     {0.2775f, 0.2775f, 0.2775f, 1.0f},
     {0.773911f, 0.773911f, 0.773911f, 1.0f},
     89.6f},
    {{0.0215f, 0.1745f, 0.0215f, 0.55f},
     {0.07568f, 0.61424f, 0.07568f, 0.55f},
     {0.633f, 0.727811f, 0.633f, 0.55f},
     76.8f},
    {{0.135f, 0.2225f, 0.1575f, 0.95f},
     {0.54f, 0.89f, 0.63f, 0.95f},
     {0.316228f, 0.316228f, 0.316228f, 0.95f},
     12.8f},
    {{0.05375f, 0.05f, 0.06625f, 0.82f},
     {0.18275f, 0.17f, 0.22525f, 0.82f},
     {0.332741f, 0.328634f, 0.346435f, 0.82f},
     38.4f},
    {{0.25f, 0.20725f, 0.20725f, 0.922f},
     {1.0f, 0.829f, 0.829f, 0.922f},
     {0.296648f, 0.296648f, 0.296648f, 0.922f},
     11.264f},
    {{0.1745f, 0.01175f, 0.01175f, 0.55f},
     {0.61424f, 0.04136f, 0.04136f, 0.55f},
     {0.727811f, 0.626959f, 0.626959f, 0.55f},
     76.8f},
    {{0.1f, 0.18725f, 0.1745f, 0.8f},
     {0.396f, 0.74151f, 0.69102f, 0.8f},
     {0.297254f, 0.30829f, 0.306678f, 0.8f},
     12.8f},
    {{0.0f, 0.0f, 0.0f, 1.0f}, {0.01f, 0.01f, 0.01f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}, 32.0f},
    {{0.02f, 0.02f, 0.02f, 1.0f}, {0.01f, 0.01f, 0.01f, 1.0f}, {0.4f, 0.4f, 0.4f, 1.0f}, 10.0f},
};

const char* const materialNames[19] = {
    "Brass",        "Bronze",          "Polished_Bronze",
    "Chrome",       "Copper",          "Polished_Copper",
    "Gold",         "Polished_Gold",   "Pewter",
    "Silver",       "Polished_Silver", "Emerald",
    "Jade",         "Obsidian",        "Pearl",
    "Ruby",         "Turquoise",       "Black_Plastic",
    "Black_Rubber",
};

CurrentMaterial currentMaterial = {
    {0.91f, 0.1f, 0.11f, 1.0f},
    {0.4f, 0.37f, 0.57f, 1.0f},
    {0.33f, 0.33f, 0.52f, 1.0f},
    {0.02f, 0.02f, 0.02f, 0.0f},
    10.0f,
};

void initLighting() {
  static const GLfloat modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  static const GLfloat position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  static const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  static const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  static const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  static const GLfloat spotDirection[3] = {-1.0f, -1.0f, -1.0f};

  glClearColor(0.25f, 0.25f, 0.25f, 1.0f);

  glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 0.0f);
  glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 0.0f);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);

  // Given while the modelview matrix is the identity: the light sits at the
  // eye and moves with the camera.
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, spotDirection);
  glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 180.0f);
  glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 30.0f);

  glMaterialfv(GL_FRONT, GL_AMBIENT, currentMaterial.ambient);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, currentMaterial.diffuse);
  glMaterialfv(GL_FRONT, GL_SPECULAR, currentMaterial.specular);
  glMaterialf(GL_FRONT, GL_SHININESS, currentMaterial.shininess);
  glMaterialfv(GL_FRONT, GL_EMISSION, currentMaterial.emission);

  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glShadeModel(GL_SMOOTH);

  glEnable(GL_CULL_FACE);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_NORMALIZE);
}

void applyMaterial(const Material& m) {
  std::memcpy(currentMaterial.ambient, m.ambient, sizeof m.ambient);
  std::memcpy(currentMaterial.diffuse, m.diffuse, sizeof m.diffuse);
  std::memcpy(currentMaterial.specular, m.specular, sizeof m.specular);
  currentMaterial.shininess = m.shininess;

  glMaterialfv(GL_FRONT, GL_AMBIENT, currentMaterial.ambient);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, currentMaterial.diffuse);
  glMaterialfv(GL_FRONT, GL_SPECULAR, currentMaterial.specular);
  glMaterialf(GL_FRONT, GL_SHININESS, currentMaterial.shininess);
}

void materialMenu(int value) {
  if (value >= 1 && value <= 19) applyMaterial(materialTable[value - 1]);
  glutPostRedisplay();
}
