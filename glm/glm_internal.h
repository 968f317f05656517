// glm_internal.h: what the model library's files share and its public
// header does not show: the failure record the readers hand back instead of
// ending the process, allocation that never goes on with a missing array,
// and the readers' in-memory entry points (used by the tests and fuzzers).
#ifndef PLINKAR_GLM_GLM_INTERNAL_H
#define PLINKAR_GLM_GLM_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "glm/glm.h"

// Why a read could not go on. The public operations print message to the
// named stream and end the process with status 1; the seams return it.
struct GlmFailure {
  bool failed = false;
  bool to_stdout = false;  // the few historic messages that go to stdout
  std::string message;
};

// Records a failure; message is printf-style and should end in "\n".
void glmFail(GlmFailure* failure, bool to_stdout, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The float helpers of the bounds, texture and weld code: x < 0 gives -x,
// anything else x; a < b gives b, anything else (equal values too) a.
inline float glmAbs(float x) { return x < 0 ? -x : x; }
inline float glmMax(float a, float b) { return a < b ? b : a; }

// Drops from mode what the model cannot give, the way drawing and writing
// both do it: seven steps in a fixed order, each seeing the mode as the
// steps before left it, each printing its own message (to standard output)
// when it drops something. The steps: flat without facet normals, smooth
// without normals, texture without coordinates, flat with smooth, colour
// without materials, material without materials, colour with material.
unsigned int glmReconcileMode(const Model* model, unsigned int mode, const char* const messages[7]);

// The material a group is drawn and written with: its own while the table
// holds it, else "default" (a smaller library may have been read since).
// Only for a model with a material table.
inline const ModelMaterial& glmGroupMaterial(const Model* model, const ModelGroup* group) {
  return model->mtltable[group->mtlindex < model->mtlcount ? group->mtlindex : 0];
}

// Prints the failure and ends the process with status 1.
[[noreturn]] void glmDie(const GlmFailure& failure);

// calloc that ends the process, naming the operation, when memory runs out.
void* glmAlloc(const char* operation, size_t count, size_t size);
// The same for scratch whose every element is written before it is read:
// neither zeroed nor faulted in, so pages never written are never taken.
void* glmAllocUnset(const char* operation, size_t count, size_t size);
char* glmStrdup(const char* operation, const char* text, size_t length);
// Zeroed scratch that a library call frees itself, with
// glmFreeZeroedScratch and the same count and size: a big block is a
// mapping of its own, which comes zeroed without being cleared.
void* glmAllocZeroedScratch(const char* operation, size_t count, size_t size);
void glmFreeZeroedScratch(void* block, size_t count, size_t size);
// malloc for a block to be filled right away: a big one starts on a big
// page and is faulted in 2 MB at a time. Null when memory ran out.
void* glmAllocPages(size_t bytes);
// Room for at least need items of size bytes in a block that grows as it
// is filled (realloc'd; null at first): at least doubles. Returns the block,
// or null when memory ran out, the old one then left as it was.
void* glmGrow(void* block, size_t* capacity, size_t need, size_t size);
// Gives back the room of a grown block past its first bytes, where that
// costs nothing later; returns the block.
void* glmShrink(void* block, size_t bytes);

// A file to read: its whole text in memory, or (POSIX only) a regular file
// left open, to be read a chunk at a time. Nothing follows data[size - 1]:
// readers stop at the end themselves.
struct GlmText {
  char* data = nullptr;
  size_t size = 0;  // for an open file, its size when it was opened
  int fd = -1;      // the open file; data is then null
};
// Reads the whole file into data. Returns 0, or why not: ENOMEM when memory
// ran out, else what stopped it being opened or read.
int glmLoadText(const char* path, GlmText* text);
// The same, but leaves a regular file open instead (fd and size).
int glmOpenText(const char* path, GlmText* text);
void glmFreeText(GlmText* text);
// The line ends before offset in the text; a file's are read again for it.
uint64_t glmLineEndsBefore(const GlmText& text, size_t offset);
#ifndef _WIN32
// Up to count bytes at offset of an open file: fewer only where it ends
// (the file may have shrunk since it was opened); -1 on an error.
long long glmReadAt(int fd, char* to, size_t count, uint64_t offset);
#endif

// How the OBJ reader goes about a text. The model, messages and failure
// are the same whichever way; the tests and fuzzers compare them.
struct GlmReadOptions {
  bool fast_paths = true;  // off: every line through the exact reader alone
  bool avx2 = true;        // off: the fast paths keep to SSE2 on any processor
  unsigned threads = 0;    // 0: as many as the text's size and the cores pay for
  bool one_pass = true;    // off: count, then fill, on one thread too
  size_t chunk_bytes = 0;  // 0: chunks only for big texts; else about this size
  // When set, gets how many elements and faces the exact reader read in
  // the two passes: those the fast paths declined.
  size_t* exact_statements = nullptr;
};

// The OBJ reader over text already in memory. objpath is stored in the
// model and locates the material library. On failure *out is null and
// everything allocated has been freed.
GlmFailure glmReadOBJText(const char* objpath, const char* data, size_t size, Model** out,
                          const GlmReadOptions& options = GlmReadOptions());
// The same over a file, as glmReadOBJ reads it.
GlmFailure glmReadOBJFile(const char* path, Model** out,
                          const GlmReadOptions& options = GlmReadOptions());

// The most threads one job of the library (reading, fitting, normals) may
// use; 0, the default, means one per core. With every_job, even the
// smallest job is spread over them (the tests compare the results).
void glmSetThreadLimit(unsigned threads, bool every_job = false);

// glmFindMaterial without its message: false when the table lacks name.
bool glmLookupMaterial(const Model* model, const char* name, uint32_t* index);

// The MTL reader: reads the library name next to model->objpath into the
// model's material table, replacing any table it had.
GlmFailure glmReadMTLFile(Model* model, const char* name);
GlmFailure glmReadMTLText(Model* model, const char* data, size_t size);

// The welding search behind glmMergeVectors: map[i] (i = 1..*count) gets
// the 1-based index of the distinct vector that vector i joins; returns the
// distinct vectors and sets *count to their number. The plain search
// compares each vector with every distinct one so far; the default one
// finds the same answer through a grid of cells twice epsilon wide.
float* glmMergeVectorsMap(const float* vectors, uint32_t* count, float epsilon, uint32_t* map);
float* glmMergeVectorsPlain(const float* vectors, uint32_t* count, float epsilon, uint32_t* map);

// The PPM reader over an open stream; name is used in messages. Does not
// close the stream.
unsigned char* glmReadRawPPMStream(FILE* file, const char* name, int* width, int* height);

#endif  // PLINKAR_GLM_GLM_INTERNAL_H
