// objtool: a command-line front end to the model library. "info" describes
// an OBJ file; "convert" reads one, applies the library's operations and
// writes the result.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glm/glm.h"

static const char kUsage[] =
    "usage: objtool info FILE.obj\n"
    "       objtool convert IN.obj OUT.obj [options]\n"
    "       objtool --help | --version\n"
    "\n"
    "info prints the counts, the groups with their materials, the box and the\n"
    "dimensions (|max| + |min| per axis) of FILE.obj.\n"
    "\n"
    "convert reads IN.obj, applies the options below in this order whatever\n"
    "order they are given in, and writes OUT.obj:\n"
    "  --weld EPSILON     join vertices within EPSILON (>= 0) on every axis\n"
    "  --fit              centre the model and scale it into -1..1\n"
    "  --scale F          multiply every position by F\n"
    "  --translate X,Y,Z  add (X, Y, Z) to every position (one argument)\n"
    "  --flip             reverse the winding of every triangle\n"
    "  --facet-normals    compute one normal per triangle\n"
    "  --smooth ANGLE     compute vertex normals, averaging the facets that\n"
    "                     meet within ANGLE degrees (0..180); implies\n"
    "                     --facet-normals, which vertex normals are made from\n"
    "  --planar-uvs       generate texture coordinates by planar projection\n"
    "  --sphere-uvs       generate sphere-map texture coordinates from the\n"
    "                     vertex normals: use with --smooth unless IN.obj\n"
    "                     has normals of its own\n"
    "  --mode LIST        what to write, a comma list of none, flat, smooth,\n"
    "                     texture, material, color. material also writes the\n"
    "                     material library beside OUT.obj. Default: smooth\n"
    "                     when faces use vertex normals (else flat when the\n"
    "                     model has facet normals) and texture when faces\n"
    "                     use texture coordinates; never material, so an\n"
    "                     input's library is not rewritten unasked.\n"
    "Positions change before normals are computed so the normals match them.\n"
    "\n"
    "exit status: 0 success, 1 a file could not be read or written, 2 bad\n"
    "arguments.\n";

// Bad arguments: one line naming the problem, then the usage, status 2.
[[noreturn]] static void usage_error(const std::string& problem) {
  fprintf(stderr, "objtool: %s\n\n%s", problem.c_str(), kUsage);
  exit(2);
}

// A whole argument as a finite float: no blanks, junk, NaN or infinity.
// Overflow comes back as infinity; underflow to a tiny value is kept.
static bool parse_float(const char* text, float* out) {
  if (*text == '\0' || isspace(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  float value = strtof(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

// Splits text on commas, keeping empty items so "1,,2" is caught.
static std::vector<std::string> split_commas(const char* text) {
  std::vector<std::string> items(1);
  for (const char* c = text; *c; c++) {
    if (*c == ',')
      items.emplace_back();
    else
      items.back() += *c;
  }
  return items;
}

static bool parse_translate(const char* text, float offset[3]) {
  std::vector<std::string> items = split_commas(text);
  if (items.size() != 3) return false;
  for (int axis = 0; axis < 3; axis++)
    if (!parse_float(items[axis].c_str(), &offset[axis])) return false;
  return true;
}

static bool parse_mode(const char* text, unsigned* mode) {
  static const struct {
    const char* name;
    unsigned flag;
  } kWords[] = {{"none", 0},
                {"flat", MODE_FLAT},
                {"smooth", MODE_SMOOTH},
                {"texture", MODE_TEXTURE},
                {"material", MODE_MATERIAL},
                {"color", MODE_COLOR}};
  unsigned result = 0;
  for (const std::string& item : split_commas(text)) {
    bool known = false;
    for (const auto& word : kWords) {
      if (item == word.name) {
        result |= word.flag;
        known = true;
      }
    }
    if (!known) return false;
  }
  *mode = result;
  return true;
}

// Quoted, with quotes, backslashes and control bytes escaped, so that a
// name's leading blank and any stray carriage return are visible.
static std::string quoted(const char* name) {
  std::string out = "\"";
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c; c++) {
    if (*c == '"' || *c == '\\') {
      out += '\\';
      out += static_cast<char>(*c);
    } else if (*c < 0x20 || *c == 0x7f) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02x", *c);
      out += escape;
    } else {
      out += static_cast<char>(*c);
    }
  }
  return out + "\"";
}

static std::string material_name(const Model* model, const ModelGroup* group) {
  if (!model->mtltable) return "(no library)";
  if (group->mtlindex >= model->mtlcount) return "(unknown)";
  return quoted(model->mtltable[group->mtlindex].name);
}

static void print_row(const char* label, const float values[3]) {
  printf("%-12s%12.6g %12.6g %12.6g\n", label, values[0], values[1], values[2]);
}

static int run_info(const char* path) {
  Model* model = glmReadOBJ(path);

  printf("%-14s%s\n", "file", path);
  printf("%-14s%u\n", "vertices", model->vertexcount);
  printf("%-14s%u\n", "normals", model->normalcount);
  printf("%-14s%u\n", "texcoords", model->uvcount);
  printf("%-14s%u\n", "triangles", model->facecount);
  printf("%-14s%u\n", "groups", model->groupcount);
  printf("%-14s%u\n", "materials", model->mtlcount);
  printf("%-14s%s\n", "mtllib", model->mtlfile ? quoted(model->mtlfile).c_str() : "none");

  // Pad the labels and counts to their widest so the columns line up.
  size_t label_width = 0;
  int count_width = 1;
  for (const ModelGroup* g = model->grouplist; g; g = g->next) {
    std::string label = "group " + quoted(g->name) + ":";
    if (label.size() > label_width) label_width = label.size();
    int digits = snprintf(nullptr, 0, "%u", g->facecount);
    if (digits > count_width) count_width = digits;
  }
  if (model->grouplist) printf("\n");
  for (const ModelGroup* g = model->grouplist; g; g = g->next) {
    std::string label = "group " + quoted(g->name) + ":";
    printf("%-*s %*u %-10s material %s\n", static_cast<int>(label_width), label.c_str(),
           count_width, g->facecount, g->facecount == 1 ? "triangle," : "triangles,",
           material_name(model, g).c_str());
  }

  printf("\n");
  if (model->vertexcount == 0) {
    printf("%-14s%s\n", "box", "none (no vertices)");
  } else {
    float min[3], max[3];
    const float* v = model->vertices;
    for (int axis = 0; axis < 3; axis++) min[axis] = max[axis] = v[3 + axis];
    for (uint32_t i = 1; i <= model->vertexcount; i++) {
      for (int axis = 0; axis < 3; axis++) {
        float c = v[3 * i + axis];
        if (c < min[axis]) min[axis] = c;
        if (c > max[axis]) max[axis] = c;
      }
    }
    printf("%-12s%12s %12s %12s\n", "box", "x", "y", "z");
    print_row("  min", min);
    print_row("  max", max);
  }
  float dimensions[3];
  glmGetDimensions(model, dimensions);
  print_row("dimensions", dimensions);

  glmDestroy(model);
  return 0;
}

struct ConvertOptions {
  float weld = -1.0f;  // negative: no welding
  bool fit = false;
  bool scale_set = false;
  float scale = 1.0f;
  bool translate_set = false;
  float offset[3] = {0, 0, 0};
  bool flip = false;
  bool facet_normals = false;
  bool smooth = false;
  float angle = 0.0f;
  bool planar_uvs = false;
  bool sphere_uvs = false;
  bool mode_set = false;
  unsigned mode = 0;
};

// What the model's faces use once the operations are done; see the usage
// text. A list of normals or texture coordinates that no face names adds
// nothing to the output.
static unsigned default_mode(const Model* model) {
  bool normals = false, uvs = false;
  for (uint32_t i = 0; i < model->facecount; i++) {
    normals = normals || model->faces[i].normalidx[0] != 0;
    uvs = uvs || model->faces[i].uvidx[0] != 0;
  }
  unsigned mode = 0;
  if (model->normalcount > 0 && normals)
    mode |= MODE_SMOOTH;
  else if (model->facetnormcount > 0)
    mode |= MODE_FLAT;
  if (model->uvcount > 0 && uvs) mode |= MODE_TEXTURE;
  return mode;
}

static int run_convert(const char* in, const char* out, const ConvertOptions& o) {
  Model* model = glmReadOBJ(in);

  // Positions settle first: welding, then the whole-model moves. Normals
  // come after, as vertex normals are built from facet normals and sphere
  // maps from vertex normals.
  if (o.weld >= 0.0f) glmWeldVertices(model, o.weld);
  if (o.fit) glmFitToUnitCube(model);
  if (o.scale_set) glmScaleVertices(model, o.scale);
  if (o.translate_set) glmTranslateVertices(model, o.offset);
  if (o.flip) glmFlipWinding(model);
  if (o.facet_normals || o.smooth) glmComputeFacetNormals(model);
  if (o.smooth) glmVertexNormals(model, o.angle);
  if (o.planar_uvs) glmPlanarUVs(model);
  if (o.sphere_uvs) {
    if (model->normalcount == 0) {
      fprintf(stderr, "objtool: --sphere-uvs needs vertex normals; %s has none, add --smooth\n",
              in);
      glmDestroy(model);
      return 1;
    }
    glmSphereMapUVs(model);
  }

  glmWriteOBJ(model, out, o.mode_set ? o.mode : default_mode(model));
  glmDestroy(model);
  return 0;
}

// The value after option argv[*i], or a usage error when there is none.
static const char* option_value(int argc, char** argv, int* i) {
  if (*i + 1 >= argc) usage_error(std::string("missing value for ") + argv[*i]);
  return argv[++*i];
}

[[noreturn]] static void bad_value(const char* option, const char* value, const char* wanted) {
  usage_error(std::string("bad value \"") + value + "\" for " + option + ": expected " + wanted);
}

// Splits argv[first..] into files and options, filling o; with o null
// (info) every option but --help is an error. --help ends the process.
static std::vector<const char*> collect_files(int argc, char** argv, int first, ConvertOptions* o) {
  std::vector<const char*> files;
  bool options_done = false;
  for (int i = first; i < argc; i++) {
    const char* arg = argv[i];
    if (options_done || arg[0] != '-' || arg[1] == '\0') {
      files.push_back(arg);
      continue;
    }
    std::string name = arg;
    if (name == "--") {
      options_done = true;
    } else if (name == "-h" || name == "--help") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (!o) {
      usage_error("unknown option " + name + " for info");
    } else if (name == "--fit") {
      o->fit = true;
    } else if (name == "--flip") {
      o->flip = true;
    } else if (name == "--facet-normals") {
      o->facet_normals = true;
    } else if (name == "--planar-uvs") {
      o->planar_uvs = true;
    } else if (name == "--sphere-uvs") {
      o->sphere_uvs = true;
    } else if (name == "--weld") {
      const char* v = option_value(argc, argv, &i);
      if (!parse_float(v, &o->weld) || o->weld < 0.0f) bad_value(arg, v, "a number >= 0");
    } else if (name == "--scale") {
      const char* v = option_value(argc, argv, &i);
      if (!parse_float(v, &o->scale)) bad_value(arg, v, "a number");
      o->scale_set = true;
    } else if (name == "--translate") {
      const char* v = option_value(argc, argv, &i);
      if (!parse_translate(v, o->offset)) bad_value(arg, v, "X,Y,Z");
      o->translate_set = true;
    } else if (name == "--smooth") {
      const char* v = option_value(argc, argv, &i);
      if (!parse_float(v, &o->angle) || o->angle < 0.0f || o->angle > 180.0f)
        bad_value(arg, v, "an angle in degrees, 0..180");
      o->smooth = true;
    } else if (name == "--mode") {
      const char* v = option_value(argc, argv, &i);
      if (!parse_mode(v, &o->mode))
        bad_value(arg, v, "a comma list of none,flat,smooth,texture,material,color");
      o->mode_set = true;
    } else {
      usage_error("unknown option " + name);
    }
  }
  return files;
}

int main(int argc, char** argv) {
  if (argc < 2) usage_error("no command given");
  std::string command = argv[1];
  if (command == "-h" || command == "--help") {
    fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    printf("objtool %s\n", PLINKAR_VERSION);
    return 0;
  }

  if (command == "info") {
    std::vector<const char*> files = collect_files(argc, argv, 2, nullptr);
    if (files.size() != 1) usage_error("info takes one file, got " + std::to_string(files.size()));
    return run_info(files[0]);
  }
  if (command == "convert") {
    ConvertOptions options;
    std::vector<const char*> files = collect_files(argc, argv, 2, &options);
    if (files.size() != 2)
      usage_error("convert takes two files, IN.obj and OUT.obj, got " +
                  std::to_string(files.size()));
    if (options.planar_uvs && options.sphere_uvs)
      usage_error("--planar-uvs and --sphere-uvs both replace the texture coordinates; pick one");
    return run_convert(files[0], files[1], options);
  }
  usage_error("unknown command \"" + command + "\"");
}
