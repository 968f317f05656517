// text_file.cpp: reading whole files into memory for the readers, and the
// failure and allocation helpers every operation of the library shares.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "glm/glm_internal.h"

#ifndef _WIN32
#ifdef MADV_POPULATE_WRITE
static const int kPopulateWrite = MADV_POPULATE_WRITE;
#else
static const int kPopulateWrite = 23;  // Linux 5.14; older headers lack the name
#endif
#endif

void glmFail(GlmFailure* failure, bool to_stdout, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  failure->failed = true;
  failure->to_stdout = to_stdout;
  if (length >= 0 && static_cast<size_t>(length) < sizeof buffer) {
    failure->message.assign(buffer, static_cast<size_t>(length));
    return;
  }
  // Long paths or words: format again at full size rather than cut them.
  failure->message.resize(length > 0 ? static_cast<size_t>(length) + 1 : 1);
  va_start(args, format);
  vsnprintf(&failure->message[0], failure->message.size(), format, args);
  va_end(args);
  failure->message.pop_back();
}

static GlmFatalHandler fatalHandler = nullptr;

void glmSetFatalHandler(GlmFatalHandler handler) { fatalHandler = handler; }

[[noreturn]] static void die(FILE* stream, const char* message, size_t length) {
  fwrite(message, 1, length, stream);
  fflush(stream);
  if (fatalHandler) fatalHandler(message);
  exit(1);
}

void glmDie(const GlmFailure& failure) {
  die(failure.to_stdout ? stdout : stderr, failure.message.c_str(), failure.message.size());
}

#ifndef _WIN32
static char* page_up(void* block) {
  return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(block) + 4095) & ~uintptr_t(4095));
}

static char* page_down(void* block, size_t bytes) {
  return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(block) + bytes) & ~uintptr_t(4095));
}
#endif

// Asks for big pages for a block of 2 MB or more, where the kernel has
// them: a fault and a page record per 2 MB instead of per 4 KB. Returns
// whether the block is that big.
static bool big_pages(void* block, size_t bytes) {
#ifndef _WIN32
  if (bytes < (size_t(1) << 21)) return false;
  madvise(page_up(block), page_down(block, bytes) - page_up(block), MADV_HUGEPAGE);
  return true;
#else
  (void)block;
  (void)bytes;
  return false;
#endif
}

void* glmAlloc(const char* operation, size_t count, size_t size, unsigned fillers) {
  void* block = calloc(count ? count : 1, size ? size : 1);
  if (!block) {
    // On the stack: there may be no memory left for a string.
    char message[256];
    int length =
        snprintf(message, sizeof message, "%s() failed: out of memory (%zu items of %zu bytes).\n",
                 operation, count, size);
    die(stderr, message, length < 0 ? 0 : std::min(size_t(length), sizeof message - 1));
  }
#ifndef _WIN32
  // Every array is filled right away: fault a big one in with one call
  // rather than a trap per page, unless several threads are to fill it,
  // each faulting in its own part. Kernels before 5.14 refuse; that is fine.
  if (big_pages(block, count * size) && fillers <= 1)
    madvise(page_up(block), page_down(block, count * size) - page_up(block), kPopulateWrite);
#else
  (void)fillers;
#endif
  return block;
}

void* glmAllocUnset(const char* operation, size_t count, size_t size) {
  void* block = malloc(count && size ? count * size : 1);
  if (!block) return glmAlloc(operation, count, size, 2);  // it reports the failure
  big_pages(block, count * size);
  return block;
}

char* glmStrdup(const char* operation, const char* text, size_t length) {
  char* copy = static_cast<char*>(glmAlloc(operation, length + 1, 1));
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

// Reads all that readSome gives into a block that doubles as it fills, with
// room for a terminating byte. readSome returns the bytes read, 0 at the end
// or -1 on an error; on an error nothing is kept.
template <typename ReadSome>
static bool glmReadGrowing(size_t capacity, GlmText* text, ReadSome readSome) {
  char* data = static_cast<char*>(malloc(capacity + 1));
  size_t size = 0;
  bool ok = data != nullptr;
  while (ok) {
    if (size == capacity) {
      capacity *= 2;
      char* bigger = static_cast<char*>(realloc(data, capacity + 1));
      if (!bigger) {
        ok = false;
        break;
      }
      data = bigger;
    }
    const long long got = readSome(data + size, capacity - size);
    if (got < 0) ok = false;
    if (got <= 0) break;
    size += static_cast<size_t>(got);
  }
  if (!ok) {
    free(data);
    return false;
  }
  text->data = data;
  text->size = size;
  return true;
}

#ifdef _WIN32
// Reads the whole file in growing blocks, in binary mode so that the readers
// see the bytes that are on disk.
bool glmLoadText(const char* path, GlmText* text) {
  text->data = nullptr;
  text->size = 0;
  text->mapped = false;
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  const bool ok = glmReadGrowing(size_t(1) << 16, text, [file](char* to, size_t room) -> long long {
    const size_t got = fread(to, 1, room, file);
    if (got == 0) return ferror(file) ? -1 : 0;
    return static_cast<long long>(got);
  });
  fclose(file);
  return ok;
}

void glmFreeText(GlmText* text) {
  free(text->data);
  text->data = nullptr;
  text->size = 0;
}
#else
// Maps a regular file (no copy, no zeroed pages to fill); reads anything
// else in growing blocks (pipes, /dev/stdin). A directory or an unreadable
// file counts as one that cannot be opened.
bool glmLoadText(const char* path, GlmText* text) {
  text->data = nullptr;
  text->size = 0;
  text->mapped = false;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  size_t capacity = 1 << 16;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    size_t size = static_cast<size_t>(info.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      close(fd);
      madvise(map, size, MADV_SEQUENTIAL);
      text->data = static_cast<char*>(map);
      text->size = size;
      text->mapped = true;
      return true;
    }
    capacity = size + 1;
  }
  const bool ok = glmReadGrowing(capacity, text, [fd](char* to, size_t room) -> long long {
    for (;;) {
      const ssize_t got = read(fd, to, room);
      if (got < 0 && errno == EINTR) continue;
      return got;
    }
  });
  close(fd);
  return ok;
}

void glmFreeText(GlmText* text) {
  if (text->mapped)
    munmap(text->data, text->size);
  else
    free(text->data);
  text->data = nullptr;
  text->size = 0;
}
#endif
