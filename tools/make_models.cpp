// make_models: writes the shipped instrument models, piano, drum kit and
// guitar, as OBJ files with their MTL libraries into a directory. The text
// is the same on every run and every machine (fixed precision, no clocks),
// so the committed data/ can be compared with a fresh run.
#include <cmath>
#include <cstdio>
#include <string>

#include "instrument_models.h"

namespace {

bool write_file(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && ok;
}

// The player fits every model to the unit cube; a model built centred and
// exactly 2 across its longest axis stays where its landing spots were
// designed.
bool fits_unit_cube(const ModelData& model) {
  Vec min, max;
  bounds(model, &min, &max);
  const double extent[3] = {max.x - min.x, max.y - min.y, max.z - min.z};
  const double centre[3] = {max.x + min.x, max.y + min.y, max.z + min.z};
  const double longest = std::fmax(extent[0], std::fmax(extent[1], extent[2]));
  bool ok = std::fabs(longest - 2) < 1e-6;
  for (double c : centre) ok = ok && std::fabs(c) < 1e-6;
  if (!ok) {
    fprintf(stderr, "make_models: %s spans (%.6f %.6f %.6f) to (%.6f %.6f %.6f)\n",
            model.name.c_str(), min.x, min.y, min.z, max.x, max.y, max.z);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_models OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (const ModelData& model : {piano_model(), drum_model(), guitar_model()}) {
    if (!fits_unit_cube(model)) return 1;
    if (!write_file(dir + "/" + model.name + ".obj", obj_text(model)) ||
        !write_file(dir + "/" + model.name + ".mtl", mtl_text(model))) {
      fprintf(stderr, "make_models: can't write %s/%s\n", dir.c_str(), model.name.c_str());
      return 1;
    }
    printf("%s: %d triangles\n", model.name.c_str(), triangle_count(model));
  }
  return 0;
}
