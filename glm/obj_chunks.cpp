// obj_chunks.cpp: the OBJ reader's chunks: where a chunk may start, how a
// file is read a chunk at a time, and the passes over them on several
// threads with the join between the count and the fill.
#include "glm/obj_chunks.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "glm/parallel.h"
#include "glm/text_scan.h"

using namespace glm_scan;

namespace glm_obj {

// Puts the chunk's text where a pass walks it: in place for a text in
// memory, else read from the file into the thread's buffer. The count pass
// takes what the file holds now, so a file cut short ends there; the fill
// pass must find as much again, or the file changed under the reader.
bool load_chunk(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch, bool fill) {
  const GlmText& text = *way.text;
  if (text.fd < 0) {
    chunk.begin = text.data + chunk.from;
    chunk.end = text.data + chunk.to;
    return true;
  }
#ifdef _WIN32
  (void)model;
  (void)scratch;
  (void)fill;
  return false;  // Windows reads every file whole
#else
  const size_t length = chunk.to - chunk.from;
  if (scratch.capacity < length) {
    free(scratch.data);
    scratch.data = static_cast<char*>(glmAllocPages(length));
    scratch.capacity = scratch.data ? length : 0;
    if (!scratch.data) {
      glmFail(&chunk.failure, false, "glmReadOBJ() failed: out of memory (reading \"%s\").\n",
              model->objpath);
      return false;
    }
  }
  const long long got = glmReadAt(text.fd, scratch.data, length, chunk.from);
  if (got < 0) {
    glmFail(&chunk.failure, false, "glmReadOBJ() failed: can't read data file \"%s\" (%s).\n",
            model->objpath, strerror(errno));
    return false;
  }
  if (static_cast<size_t>(got) < length) {
    if (fill) {
      glmFail(&chunk.failure, false, "glmReadOBJ() failed: \"%s\" changed while it was read.\n",
              model->objpath);
      return false;
    }
    chunk.to = chunk.from + static_cast<size_t>(got);
  }
  chunk.begin = scratch.data;
  chunk.end = scratch.data + got;
  return true;
#endif
}

namespace {

// Texts this big are read on all cores, in chunks of at least kChunkBytes.
const size_t kParallelBytes = size_t(4) << 20;
const size_t kChunkBytes = size_t(1) << 20;
const unsigned kChunksPerThread = 8;
// A file is read in chunks of at most this much, on any number of threads:
// each thread holds one at a time.
const size_t kFileChunkBytes = size_t(1) << 20;

// Whether a chunk may start at p: at the start of a line whose first word
// cannot carry on a statement from before it (it starts no number) and does
// not follow a word holding an "f". A face statement's first corner can be
// the next word, and a statement can start inside a word where a corner's
// reading stops ("+f", "1/f"). The word before is looked for only so far
// back.
bool chunk_can_start(const char* text, const char* p, const char* end) {
  if (p <= text || p >= end || p[-1] != '\n') return false;
  const char c = *p;
  if (is_space(c) || is_digit(c) || c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' ||
      c == 'n' || c == 'N')
    return false;
  const char* limit = p - text > 256 ? p - 256 : text;
  const char* q = p - 1;
  while (q > limit && is_space(q[-1])) --q;
  if (q == text) return true;
  if (q == limit) return false;
  const char* word_stop = q;
  while (q > limit && !is_space(q[-1])) --q;
  if (q == limit && q != text) return false;
  return !memchr(q, 'f', static_cast<size_t>(word_stop - q));
}

// chunk_can_start looks this far back from where a chunk may start.
const size_t kLookBack = 257;
// A file is read this much at a time to find where a chunk may start.
const size_t kCutWindow = 8192;

// Where the first chunk may start at or after at: the start of a line that
// chunk_can_start allows, or the end of the text. A file is read around at
// alone, a window at a time for as long as the search goes; where it ends
// before at now, at is taken as it is (the count pass reads nothing there).
size_t next_start(const GlmText& text, size_t at, [[maybe_unused]] std::vector<char>& window,
                  [[maybe_unused]] int* error) {
  for (;;) {
    const char* base = text.data;
    size_t offset = 0, length = text.size;
    bool last = true;
#ifndef _WIN32
    if (text.fd >= 0) {
      offset = at > kLookBack ? at - kLookBack : 0;
      const size_t want = std::min(window.size(), text.size - offset);
      const long long got = glmReadAt(text.fd, window.data(), want, offset);
      if (got < 0) {
        *error = errno;
        return at;
      }
      base = window.data();
      length = static_cast<size_t>(got);
      if (length <= at - offset) return at;
      last = length < want || offset + length == text.size;
    }
#endif
    // Far enough into a window that starts after the text does, the look
    // back never reaches its start: base stands for the text's start.
    const char* end = base + length;
    const char* p = base + (at - offset);
    if (p[-1] != '\n') p = skip_line(p, end);
    while (p < end && !chunk_can_start(base, p, end)) p = skip_line(p, end);
    if (p < end || last) return offset + static_cast<size_t>(p - base);
    at = offset + length;
  }
}

// Reads the material libraries an mtllib line names, in order, each
// replacing the table; false, with the failure, when one cannot be read.
bool read_libraries(Model* model, const std::vector<std::string>& names, GlmFailure* failure) {
  for (const std::string& name : names) {
    free(model->mtlfile);
    model->mtlfile = glmStrdup("glmReadOBJ", name.c_str(), strlen(name.c_str()));
    *failure = glmReadMTLFile(model, model->mtlfile);
    if (failure->failed) return false;
  }
  return true;
}

// Gives each group of the chunks its place in its group's face list, in
// file order: chunk after chunk, and within a chunk the group current at its
// start first. Allocates the lists.
void place_group_faces(Model* model, std::vector<ObjChunk>& chunks) {
  for (ObjChunk& c : chunks)
    for (ChunkGroup& g : c.groups) {
      g.first = g.group->facecount;
      g.group->facecount += static_cast<uint32_t>(g.faces);
    }
  for (ModelGroup* group = model->grouplist; group; group = group->next)
    group->faceindices =
        static_cast<uint32_t*>(glmAllocUnset("glmReadOBJ", group->facecount, sizeof(uint32_t)));
}

// Whether so many elements or triangles would overflow a model's counts.
bool more_than_a_model_holds(const uint64_t read[3], uint64_t triangles) {
  const uint64_t limit = UINT32_MAX - 1;
  return read[SLOT_V] > limit || read[SLOT_T] > limit || read[SLOT_N] > limit || triangles > limit;
}

// The elements and faces the fast paths left to the exact reader.
size_t exact_statements(const std::vector<ObjChunk>& chunks) {
  size_t exact = 0;
  for (const ObjChunk& c : chunks) exact += c.exact;
  return exact;
}

// Joins the chunks' counts in file order: reads the material libraries,
// creates the groups, sizes the model and its groups' face lists, and tells
// each chunk where its elements, triangles and group faces start.
bool join_counts(Model* model, std::vector<ObjChunk>& chunks, GlmFailure* failure) {
  ModelGroup* current = glmEnsureGroup(model, "default");
  uint64_t read[3] = {}, triangles = 0;
  for (ObjChunk& c : chunks) {
    if (!read_libraries(model, c.libraries, failure)) return false;
    if (c.failure.failed) {
      *failure = c.failure;
      return false;
    }
    c.groups[0].group = current;
    for (size_t i = 1; i < c.groups.size(); i++)
      c.groups[i].group = glmEnsureGroup(model, c.groups[i].name.c_str());
    if (!c.group_lines.empty()) current = c.groups[c.group_lines.back()].group;
    for (int slot = 0; slot < 3; slot++) {
      c.first_read[slot] = read[slot];
      read[slot] += c.read[slot];
    }
    c.first_triangle = triangles;
    triangles += c.triangles;
  }

  if (more_than_a_model_holds(read, triangles)) {
    glmFail(failure, false, "glmReadOBJ() failed: \"%s\" holds more elements than a model can.\n",
            model->objpath);
    return false;
  }
  model->vertexcount = static_cast<uint32_t>(read[SLOT_V]);
  model->uvcount = static_cast<uint32_t>(read[SLOT_T]);
  model->normalcount = static_cast<uint32_t>(read[SLOT_N]);
  model->facecount = static_cast<uint32_t>(triangles);

  place_group_faces(model, chunks);

  uint32_t material = 0;
  for (ObjChunk& c : chunks) {
    c.material = material;
    if (c.named_material) glmLookupMaterial(model, c.last_material.c_str(), &material);
  }
  return true;
}

// After the chunks are filled, in file order: fills again each chunk that
// needed corner values from before it, prints what each printed, stops at
// the first failure and binds the groups' materials.
bool finish_fill(Model* model, std::vector<ObjChunk>& chunks, const ReadWay& way,
                 GlmFailure* failure) {
  CornerValues carried;
  std::string carried_written[3];
  for (ObjChunk& c : chunks) {
    if (c.redo) {
      c.start = carried;
      for (int slot = 0; slot < 3; slot++) c.start_written[slot] = carried_written[slot];
      glmFillPass(model, c, way, way.scratch[0]);
    }
    if (!c.output.empty()) fwrite(c.output.data(), 1, c.output.size(), stdout);
    if (c.failure.failed) {
      *failure = c.failure;
      return false;
    }
    for (int slot = 0; slot < 3; slot++)
      if (c.last.known & (1u << slot)) {
        carried.raw[slot] = c.last.raw[slot];
        carried.value[slot] = c.last.value[slot];
        carried.written[slot] = c.last.written[slot];
        carried_written[slot] = c.last_written[slot];
      }
    for (const ChunkGroup& g : c.groups)
      if (g.bound) g.group->mtlindex = g.material;
  }
  return true;
}

// An array for count elements of width floats after a first one of zeros.
float* element_array(int width, uint32_t count) {
  float* array =
      static_cast<float*>(glmAllocUnset("glmReadOBJ", width * (size_t(count) + 1), sizeof(float)));
  memset(array, 0, width * sizeof(float));
  return array;
}

// Fills the chunks from first on, in parallel, then finishes them all.
bool fill_chunks(Model* model, std::vector<ObjChunk>& chunks, size_t first, const ReadWay& way,
                 unsigned threads, GlmFailure* failure) {
  glmRunThreadTasks(threads, chunks.size() - first, [&](size_t i, unsigned thread) {
    glmFillPass(model, chunks[first + i], way, way.scratch[thread]);
  });
  return finish_fill(model, chunks, way, failure);
}

// Room for count elements after slot 0 in an array the single pass grew,
// or one it never grew. False when memory ran out.
bool room_for_elements(float*& array, size_t* room, int width, uint64_t count) {
  return count + 1 <= *room || grow_element_array(array, room, count + 1, width);
}

// Shrinks a grown array to its count, or gives an empty one a block.
template <typename T>
void fit_array(T*& array, size_t count) {
  if (!array)
    array = static_cast<T*>(glmAlloc("glmReadOBJ", count, sizeof(T)));
  else
    array = static_cast<T*>(glmShrink(array, count * sizeof(T)));
}

// After the walk and the count, while nothing has been printed yet: whether
// every face index the single pass read is in range, and room in its arrays
// for every element and triangle. False when it is not, or memory ran out:
// the two passes then tell what happens.
bool ready_to_fill(Model* model, ObjChunk& walked, const std::vector<ObjChunk>& chunks) {
  uint64_t total[3] = {}, triangles = 0;
  for (const ObjChunk& c : chunks) {
    for (int slot = 0; slot < 3; slot++) total[slot] += c.read[slot];
    triangles += c.triangles;
  }
  for (int slot = 0; slot < 3; slot++)
    if (walked.highest[slot] > total[slot]) return false;
  // More than a model holds fails in the join.
  if (more_than_a_model_holds(total, triangles)) return true;
  if (!room_for_elements(model->vertices, &walked.room[SLOT_V], 3, total[SLOT_V])) return false;
  if (total[SLOT_T] && !room_for_elements(model->uvs, &walked.room[SLOT_T], 2, total[SLOT_T]))
    return false;
  if (total[SLOT_N] && !room_for_elements(model->normals, &walked.room[SLOT_N], 3, total[SLOT_N]))
    return false;
  if (triangles <= walked.face_room) return true;
  void* grown = glmGrow(model->faces, &walked.face_room, triangles, sizeof(ModelFace));
  if (grown) model->faces = static_cast<ModelFace*>(grown);
  return grown != nullptr;
}

// The single pass's groups get their faces, and its g and usemtl lines bind
// materials, now that the groups exist and the libraries are read.
void bind_walked(Model* model, ObjChunk& walked) {
  for (ChunkGroup& g : walked.groups) {
    uint32_t* to = g.group->faceindices + g.first;
    for (const ChunkGroup::Run& run : g.runs)
      for (uint32_t t = 0; t < run.count; t++) *to++ = run.first + t;
  }
  uint32_t material = 0;
  for (const Binding& b : walked.bindings) {
    if (b.usemtl) look_up_material(model, b.material, &material, &walked.output);
    walked.groups[b.group].bound = true;
    walked.groups[b.group].material = material;
  }
}

}  // namespace

// Every chunk starts where chunk_can_start allows.
int cut_chunks(const GlmText& text, size_t chunk_bytes, std::vector<ObjChunk>* chunks) {
  std::vector<char> window(text.fd >= 0 ? kCutWindow : 0);
  int error = 0;
  size_t begin = 0;
  while (true) {
    size_t at = text.size - begin > chunk_bytes ? begin + chunk_bytes : text.size;
    if (at < text.size) at = next_start(text, at, window, &error);
    if (error) return error;
    chunks->emplace_back();
    chunks->back().from = begin;
    chunks->back().to = at;
    if (at == text.size) break;
    begin = at;
  }
  for (size_t i = 1; i < chunks->size(); i++) (*chunks)[i].start.known = 0;
  return 0;
}

bool grow_element_array(float*& array, size_t* room, size_t need, int width) {
  const bool fresh = !array;
  void* grown = glmGrow(array, room, need, width * sizeof(float));
  if (!grown) return false;
  array = static_cast<float*>(grown);
  if (fresh) memset(array, 0, width * sizeof(float));
  return true;
}

void look_up_material(const Model* model, const std::string& name, uint32_t* material,
                      std::string* output) {
  if (glmLookupMaterial(model, name.c_str(), material)) return;
  *output += "glmFindMaterial():  can't find material \"";
  *output += name.c_str();
  *output += "\".\n";
}

ReadPlan plan_read(const GlmText& text, const GlmReadOptions& options) {
  ReadPlan plan = {1, SIZE_MAX};
  if (options.fast_paths) {
    plan.threads = options.threads ? options.threads : glmThreadsFor(text.size, kParallelBytes / 2);
    if (options.chunk_bytes)
      plan.chunk_bytes = options.chunk_bytes;
    else if (plan.threads > 1 && text.size >= kParallelBytes)
      plan.chunk_bytes = std::max(kChunkBytes, text.size / (plan.threads * kChunksPerThread));
  }
  if (text.fd >= 0 && !options.chunk_bytes)
    plan.chunk_bytes = std::min(plan.chunk_bytes, kFileChunkBytes);
  return plan;
}

bool read_in_chunks(Model* model, const ReadWay& way, const ReadPlan& plan, GlmFailure* failure,
                    size_t* exact) {
  std::vector<ObjChunk> chunks;
  if (const int error = cut_chunks(*way.text, plan.chunk_bytes, &chunks)) {
    glmFail(failure, false, "glmReadOBJ() failed: can't read data file \"%s\" (%s).\n",
            model->objpath, strerror(error));
    return false;
  }
  glmRunThreadTasks(plan.threads, chunks.size(), [&](size_t i, unsigned thread) {
    glmFirstPass(model, chunks[i], way, way.scratch[thread]);
  });
  bool ok = join_counts(model, chunks, failure);
  if (ok) {
    // The fill writes every element and face once the passes agree, so the
    // arrays are not cleared first: each thread faults in the part it fills.
    model->vertices = element_array(3, model->vertexcount);
    model->faces =
        static_cast<ModelFace*>(glmAllocUnset("glmReadOBJ", model->facecount, sizeof(ModelFace)));
    if (model->normalcount) model->normals = element_array(3, model->normalcount);
    if (model->uvcount) model->uvs = element_array(2, model->uvcount);
    ok = fill_chunks(model, chunks, 0, way, plan.threads, failure);
  }
  *exact = exact_statements(chunks);
  return ok;
}

// The single pass walks from the front while the others count from the
// back: where they meet, the walk has done about as much as the count. The
// walked chunks then stand as one before the counted ones, and the join and
// the fill go on as for the two passes.
WalkResult read_walking(Model* model, const ReadWay& way, const ReadPlan& plan, GlmFailure* failure,
                        size_t* exact) {
  std::vector<ObjChunk> chunks;
  if (cut_chunks(*way.text, plan.chunk_bytes, &chunks) || chunks.size() >= UINT32_MAX)
    return kGaveUp;
  ChunkClaims claims(chunks.size());
  ObjChunk walked;
  bool gave_up = false;
  const unsigned takers = static_cast<unsigned>(std::min<size_t>(plan.threads, chunks.size()));
  glmRunThreadTasks(takers, takers, [&](size_t task, unsigned thread) {
    Scratch& scratch = way.scratch[thread];
    if (task == 0) {
      gave_up = !glmSinglePass(model, walked, chunks, claims, way, scratch);
      if (gave_up) claims.stop();
      return;
    }
    for (size_t i; claims.take_back(&i);) glmFirstPass(model, chunks[i], way, scratch);
  });
  if (gave_up) return kGaveUp;
  chunks.erase(chunks.begin(), chunks.begin() + static_cast<ptrdiff_t>(claims.front()));
  chunks.insert(chunks.begin(), std::move(walked));
  if (!ready_to_fill(model, chunks[0], chunks)) return kGaveUp;
  bool ok = join_counts(model, chunks, failure);
  if (ok) {
    bind_walked(model, chunks[0]);
    ok = fill_chunks(model, chunks, 1, way, plan.threads, failure);
  }
  *exact = exact_statements(chunks);
  if (!ok) return kFailed;
  fit_array(model->vertices, 3 * (size_t(model->vertexcount) + 1));
  if (model->uvs) fit_array(model->uvs, 2 * (size_t(model->uvcount) + 1));
  if (model->normals) fit_array(model->normals, 3 * (size_t(model->normalcount) + 1));
  fit_array(model->faces, model->facecount);
  return kRead;
}

}  // namespace glm_obj
