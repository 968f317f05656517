// mtl_read.cpp: the MTL material library reader. Like the OBJ reader it
// reads the text twice: once to count the materials, once to fill the
// table allocated at exactly that size.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm_internal.h"
#include "glm/text_scan.h"

using namespace glm_scan;

char* glmPathPrefix(const char* path) {
  // Only '/' separates directories; a backslash is part of a name.
  const char* slash = strrchr(path, '/');
  size_t length = slash ? static_cast<size_t>(slash - path) + 1 : 0;
  return glmStrdup("glmPathPrefix", path, length);
}

static void init_material(ModelMaterial* material) {
  const float kd[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  const float ka[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  const float ks[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  memcpy(material->kd, kd, sizeof kd);
  memcpy(material->ka, ka, sizeof ka);
  memcpy(material->ks, ks, sizeof ks);
  material->exponent = 65.0f;
}

// Both passes run this same walk, so that the count and the fill agree on
// any input: a statement reads its numbers and reading goes on with the
// next word, on the same line or not. The counting pass reads into a
// scratch material. Returns the number of materials, counting the built-in
// "default".
template <bool Fill>
static uint32_t read_materials(const char* p, const char* end, ModelMaterial* table,
                               uint32_t count) {
  uint32_t seen = 1;
  uint32_t current = 0;
  ModelMaterial scratch = {};
  while ((p = skip_space(p, end)) < end) {
    const char* word = p;
    const char* after = word_end(word, end);
    const char second = after - word > 1 ? word[1] : '\0';
    ModelMaterial& m = Fill ? table[current] : scratch;
    if (*word == 'n') {
      seen++;
      if (Fill && current + 1 < count) {
        current++;
        std::string name = line_name(after, end);
        table[current].name = glmStrdup("glmReadMTL", name.c_str(), strlen(name.c_str()));
      }
      p = skip_line(after, end);
    } else if (*word == 'N') {
      // Every word starting with N (Ns, Ni...) sets the exponent.
      p = after;
      scan_floats(p, end, &m.exponent, 1);
      // MTL runs 0..1000, OpenGL 0..128; rounded to float after each step.
      m.exponent = static_cast<float>(m.exponent / 1000.0);
      m.exponent = static_cast<float>(m.exponent * 128.0);
    } else if (*word == 'K' && (second == 'd' || second == 'a' || second == 's')) {
      p = after;
      scan_floats(p, end, second == 'd' ? m.kd : second == 'a' ? m.ka : m.ks, 3);
    } else {
      p = skip_line(word, end);
    }
  }
  return seen;
}

static void free_materials(Model* model) {
  if (!model->mtltable) return;
  for (uint32_t i = 0; i < model->mtlcount; i++) free(model->mtltable[i].name);
  free(model->mtltable);
  model->mtltable = nullptr;
  model->mtlcount = 0;
}

GlmFailure glmReadMTLText(Model* model, const char* data, size_t size) {
  const char* end = data + size;
  uint32_t count = read_materials<false>(data, end, nullptr, 0);

  free_materials(model);
  ModelMaterial* table =
      static_cast<ModelMaterial*>(glmAlloc("glmReadMTL", count, sizeof(ModelMaterial)));
  for (uint32_t i = 0; i < count; i++) init_material(&table[i]);
  table[0].name = glmStrdup("glmReadMTL", "default", 7);
  read_materials<true>(data, end, table, count);
  for (uint32_t i = 1; i < count; i++)
    if (!table[i].name) table[i].name = glmStrdup("glmReadMTL", "", 0);
  model->mtltable = table;
  model->mtlcount = count;
  // Groups bound to a material the new table lacks fall back to "default".
  for (ModelGroup* group = model->grouplist; group; group = group->next)
    if (group->mtlindex >= count) group->mtlindex = 0;
  return GlmFailure();
}

GlmFailure glmReadMTLFile(Model* model, const char* name) {
  char* prefix = glmPathPrefix(model->objpath);
  std::string path = std::string(prefix) + name;
  free(prefix);

  GlmFailure failure;
  GlmText text;
  if (const int error = glmLoadText(path.c_str(), &text)) {
    if (error == ENOMEM)
      glmFail(&failure, false, "glmReadMTL() failed: out of memory (reading \"%s\").\n",
              path.c_str());
    else
      glmFail(&failure, false, "glmReadMTL() failed: can't open material file \"%s\".\n",
              path.c_str());
    return failure;
  }
  failure = glmReadMTLText(model, text.data, text.size);
  glmFreeText(&text);
  return failure;
}

void glmReadMTL(Model* model, const char* name) {
  GlmFailure failure = glmReadMTLFile(model, name);
  if (failure.failed) glmDie(failure);
}
