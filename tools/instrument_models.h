// instrument_models.h: the three shipped models, built in the coordinates
// the player draws them in (already centred and filling -1..1 on their
// longest axis, so fitting them to the unit cube leaves them in place).
#ifndef PLINKAR_TOOLS_INSTRUMENT_MODELS_H
#define PLINKAR_TOOLS_INSTRUMENT_MODELS_H

#include "model_mesh.h"

// Box from corner (x0, y0, z0) to (x1, y1, z1), axis-aligned.
void span_box(Mesh& mesh, double x0, double x1, double y0, double y1, double z0, double z1,
              double bevel);

// y up, keyboard along x, player at +z. The player's key boxes rest on the
// keybed (top just under y 0.30) in x -0.85..0.85, z 0.05..0.25.
ModelData piano_model();

// y up, audience at +x, drummer at -x; heads and cymbals sit just under
// the tips of the player's drumsticks in their striking poses.
ModelData drum_model();

// Top facing +x, neck towards -z; the player's strings run at x 0.1 from
// the nut (z -0.9) to the bridge (z 0.6).
ModelData guitar_model();

#endif
