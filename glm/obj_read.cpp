// obj_read.cpp: the OBJ reader's statement reader and how a text is read.
// One walk reads the statements in order: plainly well-formed lines take the
// fast paths of line_scan.h, anything else the exact reader, which reads
// every line as scanf would.
//
// The single pass counts and fills at once (glmSinglePass): elements and
// triangles go into arrays that grow, and what needs the counts (face
// indices checked against them, material libraries, materials bound to
// groups) waits for the end. The count and fill passes consume the text
// identically, so the fill can never outgrow what the count sized: on
// several threads they read the chunks the single pass does not reach
// (obj_chunks.cpp), and the whole text where it cannot tell the outcome
// alone. The model, every message and the failure are the same whichever
// way ran.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glm/glm_internal.h"
#include "glm/line_scan.h"
#include "glm/obj_chunks.h"
#include "glm/text_scan.h"

using namespace glm_obj;
using namespace glm_scan;

namespace {

// How every corner of a face is read, decided by its first corner.
enum CornerForm { FORM_V, FORM_VT, FORM_VTN, FORM_VN };

// What a walk over the text does: count, fill arrays the count sized, or
// both at once into arrays that grow (see glmSinglePass).
enum Pass { kCount, kFill, kOnce };

// Cursors of one pass over one chunk; the model holds only results.
struct ObjPass {
  Model* model;
  ObjChunk* chunk;
  const GlmText* text;  // the whole text, for line numbers
  const char* end;      // the chunk's end
  GlmFailure* failure;
  uint32_t group = 0;  // into chunk->groups
  size_t group_line = 0;
  uint32_t material = 0;
  uint64_t read[3] = {};  // elements so far, counting those before the chunk
  uint64_t triangles = 0;
  CornerValues corner;
  NumberLayout layouts[3];  // of the last vertex, texture coordinate and normal
  FaceLayout face_layout;   // of the last face
  bool fast = true;         // take the fast paths for plainly well-formed lines
  bool avx2 = false;        // in the Avx2 instruction set
  // Single pass: the arrays' room (in elements, slot 0 included, and in
  // triangles), and the highest index a face gave each slot, checked
  // against the counts once they are known.
  size_t room[3] = {}, face_room = 0;
  uint32_t highest[3] = {};
  size_t text_size = 0;  // whence the first room is guessed
};

// The single pass's first guess at an array's size, from the text's: as
// many elements as a text of nothing but lines of bytes_per_line would
// hold. Only pages that are written are taken, so a guess too big costs
// nothing, and one too small is grown.
inline size_t first_room(const ObjPass& s, size_t need, size_t bytes_per_line) {
  return std::max(need, s.text_size / bytes_per_line);
}

// Stands for the written text of a value carried from an earlier chunk,
// which the chunk keeps in start_written.
const char kCarried[1] = {'\0'};

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
  const CornerValues& c = s.corner;
  if (!c.written[slot]) return std::to_string(c.raw[slot]);
  if (c.written[slot] == kCarried) return s.chunk->start_written[slot];
  const char* from = skip_space(c.written[slot], s.end);
  const char* to = from + 1;  // past the sign or first digit
  while (to < s.end && is_digit(*to)) ++to;
  return std::string(from, to);
}

// The number of the line that holds at, in the chunk being walked; the
// lines before the chunk are counted again (only failures ask).
uint64_t line_of(const ObjPass& s, const char* at) {
  return line_number(s.chunk->begin, at, glmLineEndsBefore(*s.text, s.chunk->from) + 1);
}

// Fill pass: turns the corner's new raw values into absolute indices
// (negative ones count back from the latest element read) and checks every
// value the form stores against its count. A value the chunk has not read
// yet comes from before it: the chunk is then filled again once those are
// known.
template <Pass P>
bool take_corner(ObjPass& s, CornerForm form, unsigned updated, const char* at) {
  CornerValues& c = s.corner;
  for (int slot = 0; slot < 3; slot++) {
    if (updated & (1u << slot)) {
      int64_t raw = c.raw[slot];
      c.value[slot] = raw < 0 ? static_cast<int64_t>(s.read[slot]) + 1 + raw : raw;
      c.known |= 1u << slot;
    }
    if (!form_has(form, slot)) continue;
    if (!(c.known & (1u << slot))) {
      s.chunk->redo = true;
      return false;
    }
    if (P == kOnce) {
      // Counts are not known yet; a value that cannot be in range stops
      // the pass, and the two passes report it.
      if (c.value[slot] < 1 || c.value[slot] >= UINT32_MAX) return false;
      s.highest[slot] = std::max(s.highest[slot], static_cast<uint32_t>(c.value[slot]));
      continue;
    }
    uint32_t count = slot_count(s.model, slot);
    if (c.value[slot] >= 1 && c.value[slot] <= count) continue;

    char context[96];
    if (c.raw[slot] < 0)
      snprintf(context, sizeof context, "%s read before it: %llu", kSlotPlural[slot],
               static_cast<unsigned long long>(s.read[slot]));
    else if (count == 0)
      snprintf(context, sizeof context, "the file has no %s", kSlotPlural[slot]);
    else
      snprintf(context, sizeof context, "the file has %u %s", count,
               count == 1 ? kSlotName[slot] : kSlotPlural[slot]);
    glmFail(s.failure, false,
            "glmReadOBJ() failed: \"%s\" line %llu: %s index %s is out of range (%s).\n",
            s.model->objpath, static_cast<unsigned long long>(line_of(s, skip_space(at, s.end))),
            kSlotName[slot], written_index(s, slot).c_str(), context);
    return false;
  }
  return true;
}

struct Corner {
  uint32_t v, t, n;
};

inline Corner current_corner(const ObjPass& s) {
  const int64_t* value = s.corner.value;
  return Corner{static_cast<uint32_t>(value[SLOT_V]), static_cast<uint32_t>(value[SLOT_T]),
                static_cast<uint32_t>(value[SLOT_N])};
}

bool disagree(ObjPass& s, const char* what) {
  glmFail(s.failure, false, "glmReadOBJ() failed: \"%s\": the passes disagree on the %s.\n",
          s.model->objpath, what);
  return false;
}

// Where n more triangles go: in the arrays the count sized, while the
// chunk and the current group have room for them, or in the single pass's
// growing array. Null when they do not fit.
template <Pass P>
inline ModelFace* room_for(ObjPass& s, uint64_t n) {
  if (P == kOnce) {
    if (s.triangles + n > s.face_room) {
      // Guessed high: a triangle of a scanned model takes some 20 bytes.
      const size_t need = first_room(s, s.triangles + n, s.face_room ? SIZE_MAX : 16);
      void* grown = glmGrow(s.model->faces, &s.face_room, need, sizeof(ModelFace));
      if (!grown) return nullptr;
      s.model->faces = static_cast<ModelFace*>(grown);
    }
  } else {
    const ObjChunk& chunk = *s.chunk;
    const ChunkGroup& g = chunk.groups[s.group];
    if (chunk.first_triangle + chunk.triangles - s.triangles < n || g.faces - g.filled < n)
      return nullptr;
  }
  return &s.model->faces[s.triangles];
}

// The n triangles just stored join the current group.
template <Pass P>
inline void add_to_group(ObjPass& s, uint32_t n) {
  ChunkGroup& g = s.chunk->groups[s.group];
  const uint32_t first = static_cast<uint32_t>(s.triangles);
  if (P == kOnce) {
    if (!g.runs.empty() && g.runs.back().first + g.runs.back().count == first)
      g.runs.back().count += n;
    else
      g.runs.push_back(ChunkGroup::Run{first, n});
    g.faces += n;
  } else {
    uint32_t* indices = &g.group->faceindices[g.first + g.filled];
    for (uint32_t t = 0; t < n; t++) indices[t] = first + t;
    g.filled += n;
  }
  s.triangles += n;
}

// Slots the form does not carry hold 0.
template <Pass P>
inline bool emit_triangle(ObjPass& s, CornerForm form, const Corner& a, const Corner& b,
                          const Corner& c) {
  ModelFace* face = room_for<P>(s, 1);
  if (!face) return P == kOnce ? false : disagree(s, "faces");
  const bool t = form_has(form, SLOT_T), n = form_has(form, SLOT_N);
  *face = ModelFace{{a.v, b.v, c.v},
                    {n ? a.n : 0, n ? b.n : 0, n ? c.n : 0},
                    {t ? a.t : 0, t ? b.t : 0, t ? c.t : 0},
                    0};
  add_to_group<P>(s, 1);
  return true;
}

// A face: the first corner is a word whose shape picks the form, then the
// second and third corners are read whatever they hold, then more corners
// for as long as a read yields a number (line ends are skipped, so a face
// may go on over several lines). Fans around the first corner; a face with
// fewer than three readable corners still gives one triangle.
template <Pass P>
__attribute__((noinline)) bool read_face(ObjPass& s, const char*& p) {
  constexpr bool Fill = P != kCount;
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
  int64_t* raw = s.corner.raw;
  const char** written = s.corner.written;
  int converted = scan_corner(q, word_stop, form, raw, written, &updated);
  if (form != FORM_VN) form = converted == 3 ? FORM_VTN : converted == 2 ? FORM_VT : FORM_V;

  Corner first{}, previous{}, corner{};
  if (Fill) {
    if (!take_corner<P>(s, form, updated, word)) return false;
    first = current_corner(s);
  }
  for (int k = 1; k < 3; k++) {
    const char* at = p;
    scan_corner(p, end, form, raw, written, &updated);
    if (Fill) {
      if (!take_corner<P>(s, form, updated, at)) return false;
      previous = corner;
      corner = current_corner(s);
    }
  }
  uint32_t triangles = 1;
  if (Fill && !emit_triangle<P>(s, form, first, previous, corner)) return false;
  for (;;) {
    const char* at = p;
    if (scan_corner(p, end, form, raw, written, &updated) == 0) break;
    triangles++;
    if (Fill) {
      if (!take_corner<P>(s, form, updated, at)) return false;
      previous = corner;
      corner = current_corner(s);
      if (!emit_triangle<P>(s, form, first, previous, corner)) return false;
    }
  }
  if (!Fill) {
    s.chunk->groups[s.group].faces += triangles;
    s.triangles += triangles;
  }
  return true;
}

// The triangles of a fan around corner 0, with the slots the form carries.
// values holds each corner's in turn; a corner past the last read keeps the
// last one's values.
template <bool HasT, bool HasN>
GLM_INLINE void fan(uint32_t* values, int corners, uint32_t triangles, ModelFace* face) {
  const int stride = HasT && HasN ? 4 : 1 + HasT + HasN, t_at = 1, n_at = HasT ? 2 : 1;
  for (int c = corners; c < 3; c++)
    memcpy(values + stride * c, values + stride * (c - 1), stride * sizeof(uint32_t));
  for (uint32_t t = 0; t < triangles; t++, face++) {
    const uint32_t* a = values;
    const uint32_t* b = values + stride * (t + 1);
    const uint32_t* c = b + stride;
    face->vertexidx[0] = a[0];
    face->vertexidx[1] = b[0];
    face->vertexidx[2] = c[0];
    face->uvidx[0] = HasT ? a[t_at] : 0;
    face->uvidx[1] = HasT ? b[t_at] : 0;
    face->uvidx[2] = HasT ? c[t_at] : 0;
    face->normalidx[0] = HasN ? a[n_at] : 0;
    face->normalidx[1] = HasN ? b[n_at] : 0;
    face->normalidx[2] = HasN ? c[n_at] : 0;
    face->facetidx = 0;
  }
}

// A plainly well-formed face line, read without the exact reader's
// character-by-character work. Declines (returning false, changing nothing)
// whenever the exact reader could read the line any differently, and in the
// fill pass when an index is out of range, so that the exact reader reports
// it. The single pass takes any index but 0 and notes the highest.
template <Pass P, typename Isa>
GLM_INLINE bool fast_face_line(ObjPass& s, const char* word, const char*& p) {
  if (P == kCount) {
    ChunkGroup& g = s.chunk->groups[s.group];
    int corners;
    const char* next;
    if (!fast_face_count(Isa(), word + 1, s.end, &corners, &next, &s.face_layout)) return false;
    const uint32_t triangles = corners >= 3 ? corners - 2 : 1;
    g.faces += triangles;
    s.triangles += triangles;
    p = next;
    return true;
  }
  FastFace ff;
  const uint32_t counts[3] = {s.model->vertexcount, s.model->uvcount, s.model->normalcount};
  static const uint32_t kAny[3] = {UINT32_MAX, UINT32_MAX, UINT32_MAX};
  if (!fast_face_fill(Isa(), word + 1, s.end, P == kOnce ? kAny : counts, &ff, &s.face_layout))
    return false;
  const uint32_t triangles = ff.corners >= 3 ? ff.corners - 2 : 1;
  ModelFace* faces = room_for<P>(s, triangles);
  if (!faces) return false;
  switch (ff.form) {
    case SHAPE_V:
      fan<false, false>(ff.value, ff.corners, triangles, faces);
      break;
    case SHAPE_VT:
      fan<true, false>(ff.value, ff.corners, triangles, faces);
      break;
    case SHAPE_VTN:
      fan<true, true>(ff.value, ff.corners, triangles, faces);
      break;
    default:
      fan<false, true>(ff.value, ff.corners, triangles, faces);
      break;
  }
  add_to_group<P>(s, triangles);

  static const int kSlots[4][3] = {
      {SLOT_V}, {SLOT_V, SLOT_T}, {SLOT_V, SLOT_T, SLOT_N}, {SLOT_V, SLOT_N}};
  static const int kPerCorner[4] = {1, 2, 3, 2}, kStride[4] = {1, 2, 4, 2};
  const int per_corner = kPerCorner[ff.form], stride = kStride[ff.form];
  if (P == kOnce)
    for (int k = 0; k < per_corner; k++) {
      uint32_t& highest = s.highest[kSlots[ff.form][k]];
      for (int c = 0; c < ff.corners; c++) highest = std::max(highest, ff.value[stride * c + k]);
    }
  // The last corner's values carry over to the next face.
  const uint32_t* last = ff.value + stride * (ff.corners - 1);
  for (int k = 0; k < per_corner; k++) {
    const int slot = kSlots[ff.form][k];
    s.corner.raw[slot] = s.corner.value[slot] = last[k];
    s.corner.written[slot] = nullptr;
    s.corner.known |= 1u << slot;
  }
  p = ff.next;
  return true;
}

// The rest of a "g" line less its last byte, which is normally the line
// end: the name keeps the blank after "g", and a last line without a line
// end loses its last character. Cut at a NUL byte, as C strings are.
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
  return std::string(name.c_str());
}

// The chunk's group of that name, added when new.
uint32_t chunk_group(ObjChunk& chunk, const std::string& name) {
  for (size_t i = chunk.groups.size(); --i > 0;)
    if (chunk.groups[i].name == name) return static_cast<uint32_t>(i);
  chunk.groups.emplace_back();
  chunk.groups.back().name = name;
  return static_cast<uint32_t>(chunk.groups.size() - 1);
}

// Materials bind to groups; the group's last binding wins.
inline void bind_material(ObjPass& s) {
  ChunkGroup& g = s.chunk->groups[s.group];
  g.bound = true;
  g.material = s.material;
}

// An element as the exact reader reads it: into values unless it is null.
__attribute__((noinline)) void exact_element(const char*& p, const char* end, float* values,
                                             int width) {
  if (values)
    read_floats(p, end, values, width);
  else
    skip_floats(p, end, width);
}

inline float*& slot_array(Model* model, int slot) {
  return slot == SLOT_V ? model->vertices : slot == SLOT_T ? model->uvs : model->normals;
}

// The single pass's place for element index of a slot, the array grown to
// hold it; slot 0 holds zeros, as a counted array does. Null when memory ran
// out.
template <int kWidth>
__attribute__((noinline)) float* grow_elements(ObjPass& s, int slot, uint64_t index) {
  float*& array = slot_array(s.model, slot);
  // Guessed high: an element line takes some 30 bytes.
  const size_t need = first_room(s, index + 1, array ? SIZE_MAX : 24);
  if (!grow_element_array(array, &s.room[slot], need, kWidth)) return nullptr;
  return array + kWidth * index;
}

// Reads one element (vertex, texture coordinate or normal) into its array;
// false only when the single pass ran out of memory.
template <Pass P, int kWidth, typename Isa>
GLM_INLINE bool read_element(ObjPass& s, const char*& p, int slot) {
  const uint64_t index = ++s.read[slot];
  float* values = nullptr;
  const char* next;
  if (P == kOnce) {
    values = index < s.room[slot] ? slot_array(s.model, slot) + kWidth * index
                                  : grow_elements<kWidth>(s, slot, index);
    if (!values) return false;
  } else if (P == kFill && index <= s.chunk->first_read[slot] + s.chunk->read[slot]) {
    values = slot_array(s.model, slot) + kWidth * index;
  }
  if (values) {
    if (s.fast && fast_numbers<kWidth>(Isa(), p, s.end, values, &next, &s.layouts[slot])) {
      p = next;
      return true;
    }
    // A value the line lacks is 0: the arrays are not cleared beforehand.
    memset(values, 0, kWidth * sizeof(float));
  } else if (P == kCount && s.fast && fast_number_line(p, s.end, &next)) {
    p = next;
    return true;
  }
  s.chunk->exact++;
  exact_element(p, s.end, values, kWidth);
  return true;
}

// The statements that come seldom, kept out of the hot loop.
__attribute__((noinline)) bool unknown_word(ObjPass& s, const char* word, const char* after) {
  glmFail(s.failure, true, "glmFirstPass(): Unknown token \"%s\".\n",
          std::string(word, after).c_str());
  return false;
}

template <Pass P>
__attribute__((noinline)) bool group_line(ObjPass& s, const char*& p) {
  ObjChunk& chunk = *s.chunk;
  if (P == kFill) {
    p = skip_line(p, s.end);
    if (s.group_line == chunk.group_lines.size()) return disagree(s, "groups");
    s.group = chunk.group_lines[s.group_line++];
    bind_material(s);
  } else {
    s.group = chunk_group(chunk, group_name(p, s.end));
    chunk.group_lines.push_back(s.group);
    if (P == kOnce) chunk.bindings.push_back(Binding{s.group, false, std::string()});
  }
  return true;
}

template <Pass P>
__attribute__((noinline)) void material_line(ObjPass& s, const char*& p) {
  ObjChunk& chunk = *s.chunk;
  if (P == kFill) {
    // Materials bind to groups: this one also applies to the group's
    // faces read before it.
    look_up_material(s.model, line_name(p, s.end), &s.material, &chunk.output);
    bind_material(s);
  } else {
    chunk.named_material = true;
    chunk.last_material = line_name(p, s.end);
    if (P == kOnce) chunk.bindings.push_back(Binding{s.group, true, chunk.last_material});
  }
  p = skip_line(p, s.end);
}

template <Pass P, typename Isa>
GLM_INLINE bool read_statements(ObjPass& s) {
  ObjChunk& chunk = *s.chunk;
  const char* p = chunk.begin;
  const char* end = s.end;
  while ((p = skip_space(p, end)) < end) {
    const char* word = p;
    switch (*word) {
      case 'v': {
        const char* after = word + 1 < end && is_space(word[1])   ? word + 1
                            : word + 2 < end && is_space(word[2]) ? word + 2
                                                                  : word_end(word, end);
        p = after;
        // A C string ends at a NUL byte: "v" followed by one is a vertex.
        bool stored;
        if (after - word == 1 || word[1] == '\0') {
          stored = read_element<P, 3, Isa>(s, p, SLOT_V);
        } else if (word[1] == 'n') {
          stored = read_element<P, 3, Isa>(s, p, SLOT_N);
        } else if (word[1] == 't') {
          stored = read_element<P, 2, Isa>(s, p, SLOT_T);
        } else {
          return unknown_word(s, word, after);
        }
        if (!stored) return false;
        break;
      }
      case 'f':
        p = word + 1 < end && is_space(word[1]) ? word + 1 : word_end(word, end);
        if (s.fast && p - word == 1 && fast_face_line<P, Isa>(s, word, p)) break;
        s.chunk->exact++;
        if (!read_face<P>(s, p)) return false;
        break;
      case 'g':
        p = word_end(word, end);
        if (!group_line<P>(s, p)) return false;
        break;
      case 'm':
        p = word_end(word, end);
        if (P != kFill) chunk.libraries.push_back(line_name(p, end));
        p = skip_line(p, end);
        break;
      case 'u':
        p = word_end(word, end);
        material_line<P>(s, p);
        break;
      default:
        p = skip_line(word, end);
        break;
    }
  }
  return true;
}

// One pass over a chunk, in the processor's best instruction set.
template <Pass P>
bool read_plain(ObjPass& s) {
  return read_statements<P, Plain>(s);
}

#ifdef GLM_HAVE_AVX2
template <Pass P>
GLM_AVX2 __attribute__((flatten)) bool read_avx2(ObjPass& s) {
  return read_statements<P, Avx2>(s);
}
#endif

template <Pass P>
bool read_chunk(ObjPass& s) {
#ifdef GLM_HAVE_AVX2
  if (s.avx2) return read_avx2<P>(s);
#endif
  return read_plain<P>(s);
}

ObjPass start_pass(Model* model, ObjChunk& chunk, const ReadWay& way) {
  ObjPass s;
  s.model = model;
  s.chunk = &chunk;
  s.text = way.text;
  s.end = chunk.end;
  s.failure = &chunk.failure;
  s.fast = way.fast;
  s.avx2 = way.avx2;
  return s;
}

}  // namespace

// A failure ends the count where it is met.
void glm_obj::glmFirstPass(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch) {
  chunk.groups.assign(1, ChunkGroup());
  if (!load_chunk(model, chunk, way, scratch, false)) return;
  ObjPass s = start_pass(model, chunk, way);
  read_chunk<kCount>(s);
  for (int slot = 0; slot < 3; slot++) chunk.read[slot] = s.read[slot];
  chunk.triangles = s.triangles;
}

// The single pass keeps its state from chunk to chunk, as one walk over the
// text would.
bool glm_obj::glmSinglePass(Model* model, ObjChunk& front, std::vector<ObjChunk>& chunks,
                            ChunkClaims& claims, const ReadWay& way, Scratch& scratch) {
  front.groups.assign(1, ChunkGroup());
  ObjPass s = start_pass(model, front, way);
  s.text_size = way.text->size;
  for (size_t i; claims.take_front(&i);) {
    ObjChunk& chunk = chunks[i];
    // A file cut short meanwhile ends where it ends now.
    if (!load_chunk(model, chunk, way, scratch, false)) return false;
    front.begin = chunk.begin;
    s.end = chunk.end;
    if (!read_chunk<kOnce>(s)) return false;
    // The chunk's text is gone once the next is read: corner values keep
    // theirs as written, for messages.
    for (int slot = 0; slot < 3; slot++)
      if (s.corner.written[slot] && s.corner.written[slot] != kCarried) {
        front.start_written[slot] = written_index(s, slot);
        s.corner.written[slot] = kCarried;
      }
  }
  for (int slot = 0; slot < 3; slot++) {
    front.read[slot] = s.read[slot];
    front.highest[slot] = s.highest[slot];
    front.room[slot] = s.room[slot];
    front.last_written[slot] = front.start_written[slot];
  }
  front.triangles = s.triangles;
  front.face_room = s.face_room;
  front.last = s.corner;
  return true;
}

void glm_obj::glmFillPass(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch) {
  chunk.redo = false;
  chunk.output.clear();
  chunk.failure = GlmFailure();
  for (ChunkGroup& g : chunk.groups) {
    g.filled = 0;
    g.bound = false;
  }
  if (!load_chunk(model, chunk, way, scratch, true)) return;
  ObjPass s = start_pass(model, chunk, way);
  for (int slot = 0; slot < 3; slot++) s.read[slot] = chunk.first_read[slot];
  s.triangles = chunk.first_triangle;
  s.material = chunk.material;
  s.corner = chunk.start;
  if (!read_chunk<kFill>(s)) return;

  bool agree = s.triangles == chunk.first_triangle + chunk.triangles &&
               s.group_line == chunk.group_lines.size();
  for (int slot = 0; slot < 3; slot++)
    agree = agree && s.read[slot] == chunk.first_read[slot] + chunk.read[slot];
  for (const ChunkGroup& g : chunk.groups) agree = agree && g.filled == g.faces;
  if (!agree) {
    disagree(s, "faces");
    return;
  }
  chunk.last = s.corner;
  for (int slot = 0; slot < 3; slot++)
    if (s.corner.written[slot]) {
      chunk.last_written[slot] = written_index(s, slot);
      chunk.last.written[slot] = kCarried;
    }
}

// One walk where it can; the count and fill passes over chunks where it gave
// up, and for the exact reader alone (which the tests hold the others to).
static GlmFailure read_obj_text(const char* objpath, const GlmText& text, Model** out,
                                const GlmReadOptions& options) {
  GlmFailure failure;
  Model* model = static_cast<Model*>(glmAlloc("glmReadOBJ", 1, sizeof(Model)));
  model->objpath = glmStrdup("glmReadOBJ", objpath, strlen(objpath));

  const bool fast = options.fast_paths;
  const ReadPlan plan = plan_read(text, options);
  std::vector<Scratch> scratch(std::max(1u, plan.threads));
  const ReadWay way = {fast, fast && options.avx2 && have_avx2(), &text, scratch.data()};

  if (fast && options.one_pass) {
    size_t exact = 0;
    const WalkResult result = read_walking(model, way, plan, &failure, &exact);
    if (result != kGaveUp) {
      if (options.exact_statements) *options.exact_statements = exact;
      if (result == kFailed) {
        glmDestroy(model);
        model = nullptr;
      }
      *out = model;
      return failure;
    }
    glmDestroy(model);
    model = static_cast<Model*>(glmAlloc("glmReadOBJ", 1, sizeof(Model)));
    model->objpath = glmStrdup("glmReadOBJ", objpath, strlen(objpath));
  }

  size_t exact = 0;
  const bool ok = read_in_chunks(model, way, plan, &failure, &exact);
  if (options.exact_statements) *options.exact_statements = exact;
  if (!ok) {
    glmDestroy(model);
    model = nullptr;
  }
  *out = model;
  return failure;
}

GlmFailure glmReadOBJText(const char* objpath, const char* data, size_t size, Model** out,
                          const GlmReadOptions& options) {
  GlmText text;
  text.data = const_cast<char*>(data);
  text.size = size;
  return read_obj_text(objpath, text, out, options);
}

GlmFailure glmReadOBJFile(const char* path, Model** out, const GlmReadOptions& options) {
  GlmText text;
  GlmFailure failure;
  *out = nullptr;
  if (const int error = glmOpenText(path, &text)) {
    if (error == ENOMEM)
      glmFail(&failure, false, "glmReadOBJ() failed: out of memory (reading \"%s\").\n", path);
    else
      glmFail(&failure, false, "glmReadOBJ() failed: can't open data file \"%s\".\n", path);
    return failure;
  }
  failure = read_obj_text(path, text, out, options);
  glmFreeText(&text);
  return failure;
}

Model* glmReadOBJ(const char* path) {
  Model* model = nullptr;
  GlmFailure failure = glmReadOBJFile(path, &model);
  if (failure.failed) glmDie(failure);
  return model;
}
