// scene.h: one frame of the scene and the parts drawn from primitives.
#ifndef PLINKAR_SCENE_SCENE_H
#define PLINKAR_SCENE_SCENE_H

// GLUT display callback: camera, scene frame, moving parts, models, swap.
void display();
// The loaded models in their places, each in its colour-scheme colour.
void drawInstrumentModels();
// The 17 white and 12 black piano keys as separate boxes.
void drawPianoKeys();
// The two drumsticks at their poses.
void drawDrumsticks();
// The string lines of both guitar copies and the marker of the held chord.
void drawGuitarOverlays();

// Model colour for each scheme value 0 to 9: row 0 differs by model (piano,
// drum kit, guitar), rows 1 to 9 are shared.
extern const float schemeColors[10][3][3];

#endif  // PLINKAR_SCENE_SCENE_H
