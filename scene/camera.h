// camera.h: projection, the walking camera and the scene turned by the mouse.
#ifndef PLINKAR_SCENE_CAMERA_H
#define PLINKAR_SCENE_CAMERA_H

// GLUT reshape callback: viewport, 60-degree perspective, eye back at z 10.
void reshape(int width, int height);
// One special-key code applied to the camera; always recomputes the look-at
// point one unit ahead of the eye.
void updateCamera(int key);
// GLUT mouse and motion callbacks: a left-button drag turns the scene one
// degree per five pixels.
void mouse(int button, int state, int x, int y);
void motion(int x, int y);

#endif  // PLINKAR_SCENE_CAMERA_H
