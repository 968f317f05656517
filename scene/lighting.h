// lighting.h: the one light, the current surface material and the 19 named
// materials of the material menu.
#ifndef PLINKAR_SCENE_LIGHTING_H
#define PLINKAR_SCENE_LIGHTING_H

struct Material {
  float ambient[4];
  float diffuse[4];
  float specular[4];
  float shininess;
};

// The material in force; emission keeps its start value for the whole run.
struct CurrentMaterial {
  float ambient[4];
  float diffuse[4];
  float specular[4];
  float emission[4];
  float shininess;
};

// In menu order: entry k - 1 is menu value k ("Brass" is 1, "Black_Rubber" 19).
extern const Material materialTable[19];
extern const char* const materialNames[19];
extern CurrentMaterial currentMaterial;

// The material the instrument menu applies on every load.
const int kPolishedGold = 8;

// Clear colour, light model, light 0, the current material, shading and the
// enabled capabilities; once, before the main loop.
void initLighting();
// Makes m the current material and sends it for front faces.
void applyMaterial(const Material& m);
// GLUT menu callback of the material menu, values 1 to 19.
void materialMenu(int value);

#endif  // PLINKAR_SCENE_LIGHTING_H
