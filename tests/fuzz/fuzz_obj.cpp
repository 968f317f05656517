// Fuzz target for the OBJ and MTL readers. The OBJ text is read by the exact
// reader, with the fast paths in one pass, in chunks of a few bytes on
// several threads, and from a file a few bytes at a time: model, failure and
// output must agree. The plain-decimal shortcut must take each number as the
// full number reader does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm_internal.h"
#include "glm/text_scan.h"

namespace {

void check_plain_numbers(const char* text, size_t size) {
  const char* end = text + size;
  for (const char* p = text; p < end; p++) {
    const char* plain = p;
    const char* full = nullptr;
    float a, b;
    if (!glm_scan::plain_float(plain, end, a)) continue;
    if (!glm_scan::scan_number(p, end, b, full) || full != plain || memcmp(&a, &b, sizeof a) != 0) {
      fprintf(stderr, "the number readers disagree at byte %zu\n", static_cast<size_t>(p - text));
      abort();
    }
  }
}

bool same_floats(const float* a, const float* b, size_t count) {
  if (!a || !b) return a == b;
  return memcmp(a, b, count * sizeof(float)) == 0;
}

bool same_model(const Model* a, const Model* b) {
  if (a->vertexcount != b->vertexcount || a->normalcount != b->normalcount ||
      a->uvcount != b->uvcount || a->facecount != b->facecount || a->groupcount != b->groupcount ||
      a->mtlcount != b->mtlcount)
    return false;
  if (!same_floats(a->vertices, b->vertices, 3 * (size_t(a->vertexcount) + 1)) ||
      !same_floats(a->normals, b->normals, 3 * (size_t(a->normalcount) + 1)) ||
      !same_floats(a->uvs, b->uvs, 2 * (size_t(a->uvcount) + 1)))
    return false;
  if (a->facecount && memcmp(a->faces, b->faces, a->facecount * sizeof(ModelFace)) != 0)
    return false;
  for (const ModelGroup *g = a->grouplist, *h = b->grouplist; g; g = g->next, h = h->next) {
    if (strcmp(g->name, h->name) != 0 || g->facecount != h->facecount || g->mtlindex != h->mtlindex)
      return false;
    if (g->facecount && memcmp(g->faceindices, h->faceindices, 4 * size_t(g->facecount)) != 0)
      return false;
  }
  return true;
}

struct Outcome {
  Model* model = nullptr;
  GlmFailure failure;
  std::string output;
};

// Where the text is also written, to be read as a file: a directory of its
// own, so that the material libraries it names are looked for where only
// that file is, whichever way the text is read.
char fuzz_dir[] = "/tmp/plinkar-fuzz-XXXXXX";

const std::string& obj_path() {
  static const std::string path = [] {
    if (!mkdtemp(fuzz_dir)) abort();
    atexit([] {
      unlink((std::string(fuzz_dir) + "/fuzz.obj").c_str());
      rmdir(fuzz_dir);
    });
    return std::string(fuzz_dir) + "/fuzz.obj";
  }();
  return path;
}

// What the reader printed goes to a temporary file instead of stdout. With
// from_file the text is read from obj_path(), else from memory.
Outcome read_obj(const char* text, size_t size, const GlmReadOptions& options,
                 bool from_file = false) {
  static FILE* capture = tmpfile();
  if (!capture) abort();
  fflush(stdout);
  const int saved = dup(1);
  dup2(fileno(capture), 1);
  rewind(capture);
  Outcome o;
  if (from_file)
    o.failure = glmReadOBJFile(obj_path().c_str(), &o.model, options);
  else
    o.failure = glmReadOBJText(obj_path().c_str(), text, size, &o.model, options);
  fflush(stdout);
  const long length = ftell(capture);
  dup2(saved, 1);
  close(saved);
  o.output.resize(static_cast<size_t>(length));
  rewind(capture);
  if (length && fread(&o.output[0], 1, o.output.size(), capture) != o.output.size()) abort();
  rewind(capture);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  char* text = static_cast<char*>(malloc(size ? size : 1));
  if (size) memcpy(text, data, size);
  check_plain_numbers(text, size);

  FILE* file = fopen(obj_path().c_str(), "wb");
  if (!file || fwrite(text, 1, size, file) != size || fclose(file) != 0) abort();

  // A material library a fuzzed file names is missing, or is the file
  // itself: either is part of what is compared. The chunk sizes and threads
  // come from the input, so that they vary.
  GlmReadOptions exact_way, fast_way, chunked, file_way;
  exact_way.fast_paths = false;
  chunked.chunk_bytes = 1 + (size ? data[0] % 32 : 0);
  chunked.threads = 2 + (size > 1 ? data[1] % 2 : 0);
  chunked.avx2 = size > 1 && data[1] & 2;
  chunked.one_pass = size > 1 && data[1] & 4;
  file_way.chunk_bytes = 1 + (size > 2 ? data[2] % 64 : 0);
  file_way.threads = 1 + (size > 1 ? data[1] % 3 : 0);
  Outcome exact = read_obj(text, size, exact_way);
  for (const GlmReadOptions* options : {&fast_way, &chunked, &file_way}) {
    Outcome o = read_obj(text, size, *options, options == &file_way);
    const char* way = options == &fast_way ? "fast" : options == &chunked ? "chunked" : "file";
    if (o.failure.message != exact.failure.message ||
        (o.model == nullptr) != (exact.model == nullptr) || o.output != exact.output) {
      fprintf(stderr, "the %s and exact readers disagree:\n%s\n%s\n", way,
              o.failure.message.c_str(), exact.failure.message.c_str());
      abort();
    }
    if (o.model && !same_model(o.model, exact.model)) {
      fprintf(stderr, "the %s and exact readers built different models\n", way);
      abort();
    }
    if (o.model) glmDestroy(o.model);
  }
  if (exact.model) {
    // What the player does with every model it reads.
    glmFitToUnitCube(exact.model);
    glmComputeFacetNormals(exact.model);
    glmVertexNormals(exact.model, 90.0f);
    glmDestroy(exact.model);
  }

  Model* library = static_cast<Model*>(calloc(1, sizeof(Model)));
  library->objpath = strdup("fuzz.obj");
  glmReadMTLText(library, text, size);
  glmDestroy(library);
  free(text);
  return 0;
}
