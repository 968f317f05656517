# Source lists shared by the Linux build and the Windows cross-build.

# The model library. Only glm/draw.cpp calls OpenGL.
set(PLINKAR_GLM_SOURCES
  glm/model.cpp
  glm/obj_chunks.cpp
  glm/obj_read.cpp
  glm/mtl_read.cpp
  glm/text_file.cpp
  glm/bounds.cpp
  glm/normals.cpp
  glm/draw.cpp
  glm/texcoords.cpp
  glm/weld.cpp
  glm/obj_write.cpp
  glm/ppm_read.cpp
  glm/parallel.cpp
)

# The player, without its entry point and platform stand-ins.
set(PLINKAR_PLAYER_SOURCES
  app/app_state.cpp
  app/start_glut.cpp
  scene/camera.cpp
  scene/lighting.cpp
  scene/display.cpp
  scene/piano_keys.cpp
  scene/drumsticks.cpp
  scene/guitar_overlays.cpp
  instruments/instrument_menu.cpp
  instruments/piano.cpp
  instruments/drum.cpp
  instruments/guitar.cpp
  instruments/keyboard.cpp
  instruments/midi_keys.cpp
  instruments/recording.cpp
)
