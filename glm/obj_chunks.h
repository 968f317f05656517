// obj_chunks.h: how the OBJ reader cuts a text into chunks and reads them
// on several threads. A chunk starts where no statement can be going on.
// The statement reader (obj_read.cpp) walks chunks from the front once,
// counting and filling at once, while the other threads count chunks from
// the back; where they meet, the counts are joined in file order and the
// counted chunks filled, so the model, every message and the failure are
// those of one walk over the whole text. A file is read a chunk at a time
// into each thread's buffer, so a big file and the model built from it are
// not in memory at once. Internal to the model library.
#ifndef PLINKAR_GLM_OBJ_CHUNKS_H
#define PLINKAR_GLM_OBJ_CHUNKS_H

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "glm/glm_internal.h"

namespace glm_obj {

enum Slot { SLOT_V = 0, SLOT_T = 1, SLOT_N = 2 };

// A group as one chunk sees it: [0] is whichever group is current where the
// chunk starts, the others are those its g lines name.
struct ChunkGroup {
  std::string name;
  uint64_t faces = 0;           // count (or single pass): triangles the chunk adds to it
  ModelGroup* group = nullptr;  // join
  uint32_t first = 0;           // join: where its faces go in faceindices
  uint32_t filled = 0;          // fill
  bool bound = false;           // fill: a material was bound to it
  uint32_t material = 0;
  // Single pass: its faces, in file order, as runs of consecutive ones.
  struct Run {
    uint32_t first, count;
  };
  std::vector<Run> runs;
};

// A single pass's g and usemtl lines, bound once the libraries are read.
struct Binding {
  uint32_t group;
  bool usemtl;  // else a g line, which binds the current material
  std::string material;
};

// The values of the last corner read, raw and resolved: a corner that
// cannot be read keeps them, as scanf leaves its targets alone, so they
// carry over from face to face. known has a bit for each slot whose values
// are known; a chunk's fill starts without those from before the chunk.
struct CornerValues {
  int64_t raw[3] = {};
  int64_t value[3] = {};
  // Where each raw value was read from (blanks before it included), so a
  // message can show it as written; null for values set otherwise.
  const char* written[3] = {};
  unsigned known = 7;
};

// A piece of the text that starts where no statement can be going on.
struct ObjChunk {
  size_t from = 0, to = 0;  // where it lies in the text
  // Its text while a pass walks it: in place, or in the thread's buffer.
  const char* begin = nullptr;
  const char* end = nullptr;
  // Count.
  uint64_t read[3] = {};  // vertices, texture coordinates, normals
  uint64_t triangles = 0;
  std::vector<ChunkGroup> groups;
  std::vector<uint32_t> group_lines;   // the group each g line names, in order
  std::vector<std::string> libraries;  // the name on each mtllib line
  bool named_material = false;         // it has a usemtl line
  std::string last_material;           // the name on the last one
  // Join: where the chunk's elements and triangles start, and the material
  // current at its start.
  uint64_t first_read[3] = {};
  uint64_t first_triangle = 0;
  uint32_t material = 0;
  // Fill. Corner values carried from chunk to chunk keep their text as
  // written here, for messages: the text they point into is gone by then.
  CornerValues start, last;
  std::string start_written[3], last_written[3];
  bool redo = false;   // the fill stopped for corner values from before the chunk
  std::string output;  // what the fill prints, printed in file order
  // Single pass: its g and usemtl lines, the highest index a face gave
  // each slot (checked once every count is known) and the arrays' room (in
  // elements, slot 0 included, and in triangles).
  std::vector<Binding> bindings;
  uint32_t highest[3] = {};
  size_t room[3] = {}, face_room = 0;
  GlmFailure failure;  // of any pass
  size_t exact = 0;    // elements and faces the fast paths left to the exact reader
};

// Hands out a text's chunks from both ends until they meet: the single pass
// takes them from the front, in order, and the count from the back.
class ChunkClaims {
 public:
  explicit ChunkClaims(size_t count) : ends_(count) {}
  bool take_front(size_t* chunk) { return take(true, chunk); }
  bool take_back(size_t* chunk) { return take(false, chunk); }
  // Once every taker is done: the chunks before this one went to the front.
  size_t front() const { return static_cast<size_t>(ends_.load() >> 32); }
  void stop() { ends_.store(0); }  // no more chunks for either end

 private:
  // The next front chunk in the high half, one past the next back chunk in
  // the low half, so that one exchange takes a chunk from either end.
  bool take(bool from_front, size_t* chunk) {
    uint64_t ends = ends_.load(std::memory_order_relaxed), front, back;
    do {
      front = ends >> 32;
      back = ends & UINT32_MAX;
      if (front >= back) return false;
    } while (!ends_.compare_exchange_weak(ends, from_front ? ends + (uint64_t(1) << 32) : ends - 1,
                                          std::memory_order_relaxed));
    *chunk = static_cast<size_t>(from_front ? front : back - 1);
    return true;
  }
  std::atomic<uint64_t> ends_;
};

// A thread's buffer for the chunks it reads from a file.
struct Scratch {
  char* data = nullptr;
  size_t capacity = 0;
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { free(data); }
};

// How the passes go about the text.
struct ReadWay {
  bool fast;            // fast paths for plainly well-formed lines
  bool avx2;            // in the Avx2 instruction set
  const GlmText* text;  // the whole text, in memory or an open file
  Scratch* scratch;     // one per thread, for a file
};

// The two passes over one chunk (obj_read.cpp). The count notes the chunk's
// elements, triangles, groups, libraries and last material; the fill stores
// its values into the arrays the joined counts sized, from where the chunks
// before it end.
void glmFirstPass(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch);
void glmFillPass(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch);

// The single pass (obj_read.cpp): walks the chunks claims hands out from the
// front, in order, counting and filling at once into arrays that grow;
// front gathers what they hold, as one chunk. False when it gave up: it
// meets something whose outcome needs the counts first.
bool glmSinglePass(Model* model, ObjChunk& front, std::vector<ObjChunk>& chunks,
                   ChunkClaims& claims, const ReadWay& way, Scratch& scratch);

bool load_chunk(Model* model, ObjChunk& chunk, const ReadWay& way, Scratch& scratch, bool fill);

// Cuts the text into chunks of about chunk_bytes each (one for SIZE_MAX).
// 0, or why a file could not be read.
int cut_chunks(const GlmText& text, size_t chunk_bytes, std::vector<ObjChunk>* chunks);

// Grows an element array of width floats to room for need elements, slot
// 0 included; a fresh one gets a slot 0 of zeros, as a counted array has.
// False when memory ran out, the array then left as it was.
bool grow_element_array(float*& array, size_t* room, size_t need, int width);

// Looks up a usemtl line's material into *material (0 when missing) and
// adds the message for a missing one to output, which is printed in file
// order.
void look_up_material(const Model* model, const std::string& name, uint32_t* material,
                      std::string* output);

// How a text is read: on how many threads, in chunks of how many bytes.
struct ReadPlan {
  unsigned threads;
  size_t chunk_bytes;
};
ReadPlan plan_read(const GlmText& text, const GlmReadOptions& options);

// Counts every chunk, joins the counts, sizes the model and fills it, on
// the plan's threads. False on a failure, which is in *failure; *exact gets
// the elements and faces the fast paths left to the exact reader.
bool read_in_chunks(Model* model, const ReadWay& way, const ReadPlan& plan, GlmFailure* failure,
                    size_t* exact);

// How a read that walks once where it can ended.
enum WalkResult { kRead, kFailed, kGaveUp };

// One walk where it can: on one thread the single pass reads the whole
// text; on more, it walks chunks from the front while the other threads
// count chunks from the back, and where they meet all threads fill the
// counted chunks. kGaveUp when the single pass gave up, before anything was
// printed or read besides the text: the two passes then read it again.
WalkResult read_walking(Model* model, const ReadWay& way, const ReadPlan& plan, GlmFailure* failure,
                        size_t* exact);

}  // namespace glm_obj

#endif  // PLINKAR_GLM_OBJ_CHUNKS_H
