// preview_models: renders the shipped models offscreen the way the player
// draws them (fitted, smoothed at 90 degrees, one colour, the eye light and
// Polished_Gold), together with the player's key boxes, drumsticks, strings
// and chord markers, and writes one PPM picture per view. For looking at
// the models after changing the generator.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/osmesa.h>

#include <cstdio>
#include <string>
#include <vector>

#include "glm/glm.h"

namespace {

constexpr int kSize = 500;

struct Shot {
  const char* name;
  bool piano, drum, guitar;
  float rot_x, rot_y;       // the player's scene rotations
  float eye[3], centre[3];  // camera
  float colour;             // grey of every model
  float focus[3];           // scene point turned about (the kit's or a guitar's origin)
};

struct Pose {
  int angle, axis_x, axis_y;
  float x, y, z;
};

Model* load(const std::string& path) {
  Model* model = glmReadOBJ(path.c_str());
  glmFitToUnitCube(model);
  glmComputeFacetNormals(model);
  glmVertexNormals(model, 90.0f);
  return model;
}

void key_box(float depth) {
  const float d = depth;
  const float faces[6][4][3] = {{{0, 0, 0}, {0, 0.1f, 0}, {0.1f, 0.1f, 0}, {0.1f, 0, 0}},
                                {{0, 0, d}, {0, 0.1f, d}, {0.1f, 0.1f, d}, {0.1f, 0, d}},
                                {{0, 0.1f, d}, {0, 0.1f, 0}, {0, 0, 0}, {0, 0, d}},
                                {{0.1f, 0.1f, d}, {0.1f, 0.1f, 0}, {0.1f, 0, 0}, {0.1f, 0, d}},
                                {{0, 0, d}, {0, 0, 0}, {0.1f, 0, 0}, {0.1f, 0, d}},
                                {{0, 0.1f, d}, {0, 0.1f, 0}, {0.1f, 0.1f, 0}, {0.1f, 0.1f, d}}};
  for (const auto& face : faces) {
    glBegin(GL_POLYGON);
    for (const auto& c : face) glVertex3fv(c);
    glEnd();
  }
}

void draw_keys() {
  glColor3f(10, 10, 10);
  for (int i = 0; i < 17; i++) {
    glPushMatrix();
    glRotatef(130, 1, 0, 0);
    glTranslatef(-0.85f + 0.1f * i, 0.3f, 0.05f);
    key_box(0.2f);
    glPopMatrix();
  }
  const float black[12] = {-0.8f, -0.7f, -0.5f, -0.4f, -0.3f, -0.1f,
                           0,     0.2f,  0.3f,  0.4f,  0.6f,  0.7f};
  glColor3f(0, 0, 0);
  for (float x : black) {
    glPushMatrix();
    glRotatef(130, 1, 0, 0);
    glTranslatef(x, 0.32f, 0.05f);
    key_box(0.12f);
    glPopMatrix();
  }
}

void draw_sticks(GLUquadric* quadric) {
  // Both rest poses and every striking pose at once.
  const Pose poses[6] = {{90, 1, 0, 0, -0.2f, 0.5f},     {90, 1, 0, 0.1f, -0.2f, 0.5f},
                         {135, 1, 0, -0.4f, 0.3f, 0.5f}, {135, 1, 0, 0.4f, 0.3f, 0.55f},
                         {135, 1, 5, 0.4f, 0, 1.0f},     {135, 1, -5, -0.4f, 0, 0.9f}};
  glColor3f(0.9f, 0.1f, 0.1f);
  for (const Pose& p : poses) {
    glPushMatrix();
    glTranslatef(p.x, p.y + 2.0f, p.z + 1.8f);
    glRotatef(static_cast<float>(p.angle), static_cast<float>(p.axis_x),
              static_cast<float>(p.axis_y), 0);
    gluCylinder(quadric, 0.01, 0.01, 0.4, 10, 3);
    glPopMatrix();
  }
}

void draw_guitar_overlays(GLUquadric* quadric) {
  const float sets[2][3] = {{1.6f, -0.1f, -0.02f}, {-3.4f, -0.1f, -0.02f}};
  for (const auto& t : sets) {
    glPushMatrix();
    glTranslatef(t[0], t[1], t[2]);
    for (int i = 0; i < 7; i++) {
      glBegin(GL_LINES);
      glColor3f(0.4f, 0.4f, 0.4f);
      glVertex3f(0, 0, 0.01f * i);
      glVertex3f(1.5f, 0, 0.01f * i);
      glEnd();
    }
    glPopMatrix();
  }
  const float centres[2] = {2, -3};
  for (float x : centres) {
    glPushMatrix();
    glTranslatef(x, 0, 0);
    glColor3f(0, 3, 0);
    gluSphere(quadric, 0.1, 3, 3);
    glPopMatrix();
  }
}

void set_lighting() {
  glClearColor(0.25f, 0.25f, 0.25f, 1);
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1}, origin[4] = {0, 0, 0, 1};
  const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_POSITION, origin);
  glLightfv(GL_LIGHT0, GL_AMBIENT, black);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  // Polished_Gold, as the instrument menu applies it.
  const GLfloat spec[4] = {0.797357f, 0.723991f, 0.208006f, 1},
                emission[4] = {0.02f, 0.02f, 0.02f, 0};
  glMaterialfv(GL_FRONT, GL_SPECULAR, spec);
  glMaterialf(GL_FRONT, GL_SHININESS, 83.2f);
  glMaterialfv(GL_FRONT, GL_EMISSION, emission);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_NORMALIZE);
  glShadeModel(GL_SMOOTH);
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
      {"piano_player", true, false, false, 0, 0, {0, 0, 10}, {0, 0, 9}, 0.6f, {}},
      {"piano_dark", true, false, false, 0, 0, {0, 0, 10}, {0, 0, 9}, 0.2f, {}},
      {"piano_left", true, false, false, 10, 35, {0, 0, 9}, {0, 0, 8}, 0.6f, {}},
      {"piano_side", true, false, false, -30, 80, {0, 0, 10}, {0, 0, 9}, 0.6f, {}},
      {"drum_player", false, true, false, 0, 0, {0, 0, 10}, {0, 6.43f, -7.66f}, 0.6f, {}},
      {"drum_close", false, true, false, 0, 0, {0, 6.43f, 2}, {0, 6.43f, -7.66f}, 0.6f, {}},
      {"drum_left", false, true, false, 10, 50, {0, 0, 9}, {0, 0, 8}, 0.6f, {0, 1.915f, 1.607f}},
      {"drum_right", false, true, false, 10, -50, {0, 0, 9}, {0, 0, 8}, 0.6f, {0, 1.915f, 1.607f}},
      {"drum_low", false, true, false, -30, 0, {0, 0, 7}, {0, 0, 6}, 0.6f, {0, 1.915f, 1.607f}},
      {"drum_back", false, true, false, 20, 180, {0, 0, 9}, {0, 0, 8}, 0.6f, {0, 1.915f, 1.607f}},
      {"guitar_front", false, false, true, 0, 0, {0, 0, 9}, {0, 0, 8}, 0.6f, {2.5f, 0, 0}},
      {"guitar_tilt", false, false, true, -40, 35, {0, 0, 8}, {0, 0, 7}, 0.6f, {2.5f, 0, 0}},
      {"guitar_head", false, false, true, -20, 30, {0, 0, 2.5f}, {0, 0, 1.5f}, 0.6f, {1.55f, 0, 0}},
      {"guitar_body", false, false, true, 0, 0, {0, 0, 4}, {0, 0, 3}, 0.6f, {2.9f, 0, 0}},
      {"guitar_back", false, false, true, 0, 180, {0, 0, 9}, {0, 0, 8}, 0.6f, {2.5f, 0, 0}},
      {"guitar_player", false, false, true, 0, 0, {0, 0, 10}, {10, 0, 0}, 0.3f, {}},
      {"all_player", true, true, true, 0, 0, {0, 0, 10}, {0, 0, 9}, 0.4f, {}},
  };
  set_lighting();
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
    if (s.piano) draw_keys();
    if (s.drum) draw_sticks(quadric);
    if (s.guitar) draw_guitar_overlays(quadric);
    glColor3f(s.colour, s.colour, s.colour);
    if (s.piano) {
      glPushMatrix();
      glRotatef(130, 1, 0, 0);
      glmDraw(piano, MODE_SMOOTH);
      glPopMatrix();
    }
    if (s.drum) {
      glPushMatrix();
      glRotatef(130, 1, 0, 0);
      glRotatef(-90, 0, 1, 0);
      glTranslatef(-2.5f, 0, 0);
      glmDraw(drum, MODE_SMOOTH);
      glPopMatrix();
    }
    if (s.guitar) {
      for (float z : {2.5f, -2.5f}) {
        glPushMatrix();
        glRotatef(-90, 1, 0, 0);
        glRotatef(90, 0, 1, 0);
        glTranslatef(0, 0, z);
        glmDraw(guitar, MODE_SMOOTH);
        glPopMatrix();
      }
    }
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
