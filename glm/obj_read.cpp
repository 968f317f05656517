// obj_read.cpp: the OBJ reader. The file is read into memory once and walked
// twice by the same statement reader: the first pass (glmFirstPass) counts
// and creates the groups and reads the material library, every array is
// then allocated at its exact size, and the fill pass (glmFillPass) stores
// the values. Because both passes consume the text identically, the fill can
// never outgrow what the count allocated.
#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glm/glm_internal.h"
#include "glm/line_scan.h"
#include "glm/text_scan.h"

using namespace glm_scan;

namespace {

// How every corner of a face is read, decided by its first corner.
enum CornerForm { FORM_V, FORM_VT, FORM_VTN, FORM_VN };

enum Slot { SLOT_V = 0, SLOT_T = 1, SLOT_N = 2 };

struct GroupRoom {
  ModelGroup* group;
  uint32_t room;  // face indices the group was allocated
};

// Cursors of one pass; the model holds only results.
struct ObjPass {
  Model* model;
  const char* begin;
  const char* end;
  GlmFailure* failure;
  ModelGroup* group = nullptr;
  uint32_t room = 0;      // fill: face indices the current group still has
  uint32_t material = 0;  // fill: current material
  uint64_t read[3] = {};  // vertices, texture coordinates, normals so far
  uint64_t triangles = 0;
  // The values of the last corner read, raw and resolved: a corner that
  // cannot be read keeps them, as scanf leaves its targets alone.
  int64_t raw[3] = {};
  int64_t value[3] = {};
  // Where each raw value was read from (blanks before it included), so a
  // message can show it as written; null for values set otherwise.
  const char* written[3] = {};
  std::vector<GroupRoom> rooms;
  bool fast = true;  // take the fast paths for plainly well-formed lines
  // A mapped file's pages behind the cursor are handed back as each pass
  // goes, so a big file and the model built from it are not held at once.
  bool mapped = false;
  const char* released = nullptr;
};

// Releases the mapped pages before p in large steps; they are read again
// from the page cache if the text is looked at later.
inline void release_behind(ObjPass& s, const char* p) {
#ifdef _WIN32
  // Windows reads files into memory; there is no mapping to hand back.
  (void)s;
  (void)p;
#else
  const size_t kStep = size_t(2) << 20;
  if (!s.mapped || static_cast<size_t>(p - s.released) < kStep) return;
  const uintptr_t page = 4096;
  uintptr_t from = reinterpret_cast<uintptr_t>(s.released);
  uintptr_t to = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
  s.released = reinterpret_cast<const char*>(to);
#endif
}

const char* const kSlotName[3] = {"vertex", "texture coordinate", "normal"};
const char* const kSlotPlural[3] = {"vertices", "texture coordinates", "normals"};

inline uint32_t slot_count(const Model* model, int slot) {
  return slot == SLOT_V ? model->vertexcount : slot == SLOT_T ? model->uvcount : model->normalcount;
}

inline bool form_has(CornerForm form, int slot) {
  if (slot == SLOT_V) return true;
  if (slot == SLOT_T) return form == FORM_VT || form == FORM_VTN;
  return form == FORM_VN || form == FORM_VTN;
}

// One value of a corner into its slot.
inline bool scan_value(const char*& p, const char* end, int slot, int64_t* raw,
                       const char** written, unsigned* updated) {
  const char* at = p;
  int64_t x;
  if (!scan_int(p, end, x)) return false;
  raw[slot] = x;
  written[slot] = at;
  *updated |= 1u << slot;
  return true;
}

// One corner, as scanf reads it with the face's format ("%d", "%d/%d",
// "%d/%d/%d" or "%d//%d"). Returns the number of values converted; each is
// stored in raw as soon as it is converted, and updated gets its slot's bit.
inline int scan_corner(const char*& p, const char* end, CornerForm form, int64_t* raw,
                       const char** written, unsigned* updated) {
  *updated = 0;
  if (!scan_value(p, end, SLOT_V, raw, written, updated)) return 0;
  if (form == FORM_V) return 1;
  if (!scan_literal(p, end, '/')) return 1;
  if (form == FORM_VN) {
    if (!scan_literal(p, end, '/') || !scan_value(p, end, SLOT_N, raw, written, updated)) return 1;
    return 2;
  }
  if (!scan_value(p, end, SLOT_T, raw, written, updated)) return 1;
  if (form == FORM_VT) return 2;
  if (!scan_literal(p, end, '/') || !scan_value(p, end, SLOT_N, raw, written, updated)) return 2;
  return 3;
}

// A value as the file spells it: sign, leading zeros and digits that no
// integer holds included.
std::string written_index(const ObjPass& s, int slot) {
  if (!s.written[slot]) return std::to_string(s.raw[slot]);
  const char* from = skip_space(s.written[slot], s.end);
  const char* to = from + 1;  // past the sign or first digit
  while (to < s.end && is_digit(*to)) ++to;
  return std::string(from, to);
}

// Fill pass: turns the corner's new raw values into absolute indices
// (negative ones count back from the latest element read) and checks every
// value the form stores against its count.
bool take_corner(ObjPass& s, CornerForm form, unsigned updated, const char* at) {
  for (int slot = 0; slot < 3; slot++) {
    if (updated & (1u << slot)) {
      int64_t raw = s.raw[slot];
      s.value[slot] = raw < 0 ? static_cast<int64_t>(s.read[slot]) + 1 + raw : raw;
    }
    if (!form_has(form, slot)) continue;
    uint32_t count = slot_count(s.model, slot);
    if (s.value[slot] >= 1 && s.value[slot] <= count) continue;

    char context[96];
    if (s.raw[slot] < 0)
      snprintf(context, sizeof context, "%s read before it: %llu", kSlotPlural[slot],
               static_cast<unsigned long long>(s.read[slot]));
    else if (count == 0)
      snprintf(context, sizeof context, "the file has no %s", kSlotPlural[slot]);
    else
      snprintf(context, sizeof context, "the file has %u %s", count, kSlotPlural[slot]);
    glmFail(s.failure, false,
            "glmReadOBJ() failed: \"%s\" line %u: %s index %s is out of range (%s).\n",
            s.model->objpath, line_number(s.begin, skip_space(at, s.end)), kSlotName[slot],
            written_index(s, slot).c_str(), context);
    return false;
  }
  return true;
}

struct Corner {
  uint32_t v, t, n;
};

inline Corner current_corner(const ObjPass& s) {
  return Corner{static_cast<uint32_t>(s.value[SLOT_V]), static_cast<uint32_t>(s.value[SLOT_T]),
                static_cast<uint32_t>(s.value[SLOT_N])};
}

inline bool emit_triangle(ObjPass& s, CornerForm form, const Corner& a, const Corner& b,
                          const Corner& c) {
  if (s.triangles >= s.model->facecount || s.room == 0) {
    glmFail(s.failure, false, "glmReadOBJ() failed: \"%s\": the passes disagree on the faces.\n",
            s.model->objpath);
    return false;
  }
  ModelFace& face = s.model->faces[s.triangles];
  face.vertexidx[0] = a.v;
  face.vertexidx[1] = b.v;
  face.vertexidx[2] = c.v;
  if (form_has(form, SLOT_T)) {
    face.uvidx[0] = a.t;
    face.uvidx[1] = b.t;
    face.uvidx[2] = c.t;
  }
  if (form_has(form, SLOT_N)) {
    face.normalidx[0] = a.n;
    face.normalidx[1] = b.n;
    face.normalidx[2] = c.n;
  }
  s.group->faceindices[s.group->facecount++] = static_cast<uint32_t>(s.triangles);
  s.room--;
  s.triangles++;
  return true;
}

// A face: the first corner is a word whose shape picks the form, then the
// second and third corners are read whatever they hold, then more corners
// for as long as a read yields a number (line ends are skipped, so a face
// may go on over several lines). Fans around the first corner; a face with
// fewer than three readable corners still gives one triangle.
template <bool Fill>
bool read_face(ObjPass& s, const char*& p) {
  const char* end = s.end;
  const char* word = skip_space(p, end);
  const char* word_stop = word_end(word, end);
  p = word_stop;
  // sscanf and strstr see the word only up to a NUL byte.
  if (const void* nul = memchr(word, '\0', static_cast<size_t>(word_stop - word)))
    word_stop = static_cast<const char*>(nul);

  CornerForm form = FORM_VTN;
  for (const char* c = word; c + 1 < word_stop; c++)
    if (c[0] == '/' && c[1] == '/') form = FORM_VN;
  unsigned updated;
  const char* q = word;
  int converted = scan_corner(q, word_stop, form, s.raw, s.written, &updated);
  if (form != FORM_VN) form = converted == 3 ? FORM_VTN : converted == 2 ? FORM_VT : FORM_V;

  Corner first{}, previous{}, corner{};
  if (Fill) {
    if (!take_corner(s, form, updated, word)) return false;
    first = current_corner(s);
  }
  for (int k = 1; k < 3; k++) {
    const char* at = p;
    scan_corner(p, end, form, s.raw, s.written, &updated);
    if (Fill) {
      if (!take_corner(s, form, updated, at)) return false;
      previous = corner;
      corner = current_corner(s);
    }
  }
  uint32_t triangles = 1;
  if (Fill && !emit_triangle(s, form, first, previous, corner)) return false;
  for (;;) {
    const char* at = p;
    if (scan_corner(p, end, form, s.raw, s.written, &updated) == 0) break;
    triangles++;
    if (Fill) {
      if (!take_corner(s, form, updated, at)) return false;
      previous = corner;
      corner = current_corner(s);
      if (!emit_triangle(s, form, first, previous, corner)) return false;
    }
  }
  if (!Fill) {
    s.group->facecount += triangles;
    s.triangles += triangles;
  }
  return true;
}

// A plainly well-formed face line, read without the exact reader's
// character-by-character work. Declines (returning false, changing nothing)
// whenever the exact reader could read the line any differently, and in the
// fill pass when an index is out of range, so that the exact reader reports
// it.
template <bool Fill>
bool fast_face_line(ObjPass& s, const char* word, const char*& p) {
  FastFace ff;
  const uint32_t limits[3] = {s.model->vertexcount, s.model->uvcount, s.model->normalcount};
  if (!fast_face<Fill>(word, s.end, &ff, limits)) return false;
  const uint32_t triangles = ff.corners >= 3 ? ff.corners - 2 : 1;
  if (!Fill) {
    s.group->facecount += triangles;
    s.triangles += triangles;
    p = ff.next;
    return true;
  }
  if (s.room < triangles || s.model->facecount - s.triangles < triangles) return false;

  // An unread corner keeps the one before it (a face the fast path takes
  // has at least one corner).
  for (int c = ff.corners; c < 3; c++) memcpy(ff.value[c], ff.value[c - 1], sizeof ff.value[c]);
  static const CornerForm kForms[4] = {FORM_V, FORM_VT, FORM_VTN, FORM_VN};
  const CornerForm form = kForms[ff.form];
  const bool has_t = form_has(form, SLOT_T), has_n = form_has(form, SLOT_N);
  const uint32_t(*v)[3] = ff.value;
  ModelFace* face = &s.model->faces[s.triangles];
  uint32_t* indices = &s.group->faceindices[s.group->facecount];
  for (uint32_t t = 0; t < triangles; t++, face++) {
    const uint32_t* a = v[0];
    const uint32_t* b = v[t + 1];
    const uint32_t* c = v[t + 2];
    face->vertexidx[0] = a[SLOT_V];
    face->vertexidx[1] = b[SLOT_V];
    face->vertexidx[2] = c[SLOT_V];
    if (has_t) {
      face->uvidx[0] = a[SLOT_T];
      face->uvidx[1] = b[SLOT_T];
      face->uvidx[2] = c[SLOT_T];
    }
    if (has_n) {
      face->normalidx[0] = a[SLOT_N];
      face->normalidx[1] = b[SLOT_N];
      face->normalidx[2] = c[SLOT_N];
    }
    indices[t] = static_cast<uint32_t>(s.triangles + t);
  }
  s.triangles += triangles;
  s.group->facecount += triangles;
  s.room -= triangles;

  const uint32_t* last = v[ff.corners - 1];
  for (int slot = 0; slot < 3; slot++)
    if (form_has(form, slot)) {
      s.raw[slot] = s.value[slot] = last[slot];
      s.written[slot] = nullptr;
    }
  p = ff.next;
  return true;
}

// The rest of a "g" line less its last byte, which is normally the line
// end: the name keeps the blank after "g", and a last line without a line
// end loses its last character.
std::string group_name(const char*& p, const char* end) {
  const char* nl = line_end(p, end);
  const char* stop;
  if (nl < end) {
    stop = (nl > p && nl[-1] == '\r') ? nl - 1 : nl;
  } else {
    stop = end > p ? end - 1 : p;
  }
  std::string name(p, stop);
  p = nl < end ? nl + 1 : end;
  return name;
}

bool select_group(ObjPass& s, const char* name) {
  for (const GroupRoom& r : s.rooms) {
    if (strcmp(r.group->name, name) == 0) {
      s.group = r.group;
      s.room = r.room - r.group->facecount;
      return true;
    }
  }
  glmFail(s.failure, false, "glmReadOBJ() failed: \"%s\": the passes disagree on the groups.\n",
          s.model->objpath);
  return false;
}

// Reads one element (vertex, texture coordinate or normal) into its array.
template <bool Fill>
inline void read_element(ObjPass& s, const char*& p, int slot, float* array, int width) {
  uint64_t index = ++s.read[slot];
  if (Fill && index <= slot_count(s.model, slot)) {
    float* values = array + width * index;
    const char* next;
    if (s.fast && fast_numbers(p, s.end, width, values, &next))
      p = next;
    else
      read_floats(p, s.end, values, width);
  } else {
    const char* next;
    if (!Fill && s.fast && fast_number_line(p, s.end, &next))
      p = next;
    else
      skip_floats(p, s.end, width);
  }
}

template <bool Fill>
bool read_statements(ObjPass& s) {
  Model* model = s.model;
  const char* p = s.begin;
  const char* end = s.end;
  s.released = s.begin;
  while ((p = skip_space(p, end)) < end) {
    release_behind(s, p);
    const char* word = p;
    switch (*word) {
      case 'v': {
        const char* after = word + 1 < end && is_space(word[1])   ? word + 1
                            : word + 2 < end && is_space(word[2]) ? word + 2
                                                                  : word_end(word, end);
        p = after;
        if (after - word == 1) {
          read_element<Fill>(s, p, SLOT_V, model->vertices, 3);
        } else if (word[1] == 'n') {
          read_element<Fill>(s, p, SLOT_N, model->normals, 3);
        } else if (word[1] == 't') {
          read_element<Fill>(s, p, SLOT_T, model->uvs, 2);
        } else {
          glmFail(s.failure, true, "glmFirstPass(): Unknown token \"%s\".\n",
                  std::string(word, after).c_str());
          return false;
        }
        break;
      }
      case 'f':
        p = word + 1 < end && is_space(word[1]) ? word + 1 : word_end(word, end);
        if (s.fast && p - word == 1 && fast_face_line<Fill>(s, word, p)) break;
        if (!read_face<Fill>(s, p)) return false;
        break;
      case 'g': {
        p = word_end(word, end);
        std::string name = group_name(p, end);
        if (Fill) {
          if (!select_group(s, name.c_str())) return false;
          s.group->mtlindex = s.material;
        } else {
          s.group = glmEnsureGroup(model, name.c_str());
        }
        break;
      }
      case 'm':
        p = word_end(word, end);
        if (!Fill) {
          std::string name = line_name(p, end);
          free(model->mtlfile);
          model->mtlfile = glmStrdup("glmReadOBJ", name.c_str(), strlen(name.c_str()));
          *s.failure = glmReadMTLFile(model, model->mtlfile);
          if (s.failure->failed) return false;
        }
        p = skip_line(p, end);
        break;
      case 'u':
        p = word_end(word, end);
        if (Fill) {
          // Materials bind to groups: this one also applies to the group's
          // faces read before it.
          std::string name = line_name(p, end);
          s.material = glmFindMaterial(model, name.c_str());
          s.group->mtlindex = s.material;
        }
        p = skip_line(p, end);
        break;
      default:
        p = skip_line(word, end);
        break;
    }
  }
  return true;
}

}  // namespace

// Counts everything, creates the groups and reads the material library.
static bool glmFirstPass(ObjPass& s) {
  s.group = glmEnsureGroup(s.model, "default");
  if (!read_statements<false>(s)) return false;

  const uint64_t limit = UINT32_MAX - 1;
  if (s.read[SLOT_V] > limit || s.read[SLOT_T] > limit || s.read[SLOT_N] > limit ||
      s.triangles > limit) {
    glmFail(s.failure, false, "glmReadOBJ() failed: \"%s\" holds more elements than a model can.\n",
            s.model->objpath);
    return false;
  }
  Model* model = s.model;
  model->vertexcount = static_cast<uint32_t>(s.read[SLOT_V]);
  model->uvcount = static_cast<uint32_t>(s.read[SLOT_T]);
  model->normalcount = static_cast<uint32_t>(s.read[SLOT_N]);
  model->facecount = static_cast<uint32_t>(s.triangles);
  for (ModelGroup* group = model->grouplist; group; group = group->next) {
    group->faceindices =
        static_cast<uint32_t*>(glmAlloc("glmReadOBJ", group->facecount, sizeof(uint32_t)));
    s.rooms.push_back(GroupRoom{group, group->facecount});
    group->facecount = 0;
  }
  return true;
}

// Stores every value into the arrays the first pass sized.
static bool glmFillPass(ObjPass& s) {
  s.read[0] = s.read[1] = s.read[2] = 0;
  s.triangles = 0;
  s.material = 0;
  // Corner values carry over within a pass, never from one pass to the next.
  for (int slot = 0; slot < 3; slot++) {
    s.raw[slot] = s.value[slot] = 0;
    s.written[slot] = nullptr;
  }
  if (!select_group(s, "default") || !read_statements<true>(s)) return false;
  return true;
}

static GlmFailure read_obj_text(const char* objpath, const GlmText& text, Model** out,
                                bool fast_paths) {
  const char* data = text.data;
  const size_t size = text.size;
  GlmFailure failure;
  Model* model = static_cast<Model*>(glmAlloc("glmReadOBJ", 1, sizeof(Model)));
  model->objpath = glmStrdup("glmReadOBJ", objpath, strlen(objpath));

  ObjPass s;
  s.model = model;
  s.begin = data;
  s.end = data + size;
  s.failure = &failure;
  s.fast = fast_paths;
  s.mapped = text.mapped;  // mappings start on a page, as madvise needs

  bool ok = glmFirstPass(s);
  if (ok) {
    model->vertices = static_cast<float*>(
        glmAlloc("glmReadOBJ", 3 * (size_t(model->vertexcount) + 1), sizeof(float)));
    model->faces =
        static_cast<ModelFace*>(glmAlloc("glmReadOBJ", model->facecount, sizeof(ModelFace)));
    if (model->normalcount)
      model->normals = static_cast<float*>(
          glmAlloc("glmReadOBJ", 3 * (size_t(model->normalcount) + 1), sizeof(float)));
    if (model->uvcount)
      model->uvs = static_cast<float*>(
          glmAlloc("glmReadOBJ", 2 * (size_t(model->uvcount) + 1), sizeof(float)));
    ok = glmFillPass(s);
  }
  if (!ok) {
    glmDestroy(model);
    model = nullptr;
  }
  *out = model;
  return failure;
}

GlmFailure glmReadOBJText(const char* objpath, const char* data, size_t size, Model** out,
                          bool fast_paths) {
  GlmText text;
  text.data = const_cast<char*>(data);
  text.size = size;
  return read_obj_text(objpath, text, out, fast_paths);
}

Model* glmReadOBJ(const char* path) {
  GlmText text;
  if (!glmLoadText(path, &text)) {
    GlmFailure failure;
    glmFail(&failure, false, "glmReadOBJ() failed: can't open data file \"%s\".\n", path);
    glmDie(failure);
  }
  Model* model = nullptr;
  GlmFailure failure = read_obj_text(path, text, &model, true);
  glmFreeText(&text);
  if (failure.failed) glmDie(failure);
  return model;
}
