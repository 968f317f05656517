// text_file.cpp: reading files for the readers, whole or a chunk at a time,
// and the failure and allocation helpers every operation of the library
// shares.
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

static const size_t kBigPageBytes = size_t(2) << 20;
// Blocks this big start on a 2 MB page (see glmAllocPages).
static const size_t kPagedBytes = kBigPageBytes / 4;

#ifndef _WIN32
// bytes rounded up to whole 2 MB pages.
static size_t in_big_pages(size_t bytes) {
  return (bytes + kBigPageBytes - 1) & ~(kBigPageBytes - 1);
}
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
// them: a fault and a page record per 2 MB instead of per 4 KB.
static void big_pages(void* block, size_t bytes) {
#ifndef _WIN32
  if (bytes < kBigPageBytes) return;
  madvise(page_up(block), page_down(block, bytes) - page_up(block), MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

[[noreturn]] static void out_of_memory(const char* operation, size_t count, size_t size) {
  // On the stack: there may be no memory left for a string.
  char message[256];
  int length =
      snprintf(message, sizeof message, "%s() failed: out of memory (%zu items of %zu bytes).\n",
               operation, count, size);
  die(stderr, message, length < 0 ? 0 : std::min(size_t(length), sizeof message - 1));
}

void* glmAlloc(const char* operation, size_t count, size_t size) {
  const size_t bytes = count * size;
  const bool overflow = size && bytes / size != count;
  void* block = nullptr;
  if (!overflow && bytes >= kPagedBytes) {
    // Zeroed here rather than by calloc, which cannot start it on a big page.
    block = glmAllocPages(bytes);
    if (block) memset(block, 0, bytes);
  } else {
    block = calloc(count ? count : 1, size ? size : 1);
  }
  if (!block) out_of_memory(operation, count, size);
  return block;
}

void* glmAllocUnset(const char* operation, size_t count, size_t size) {
  const size_t bytes = count * size;
  void* block = size && bytes / size != count ? nullptr : glmAllocPages(bytes);
  if (!block) return glmAlloc(operation, count, size);  // it reports the failure
  return block;
}

void* glmAllocPages(size_t bytes) {
#ifndef _WIN32
  // A page fault costs as much as writing several pages, more so under a
  // hypervisor: a block of 2 MB pages from its start takes one per 2 MB.
  if (bytes >= kPagedBytes && bytes <= SIZE_MAX - kBigPageBytes) {
    bytes = in_big_pages(bytes);
    void* block = nullptr;
    if (posix_memalign(&block, kBigPageBytes, bytes) != 0) return nullptr;
    madvise(block, bytes, MADV_HUGEPAGE);
    return block;
  }
#endif
  return malloc(bytes ? bytes : 1);
}

void* glmAllocZeroedScratch(const char* operation, size_t count, size_t size) {
#ifndef _WIN32
  const size_t bytes = count * size;
  if (size && bytes / size == count && bytes >= kPagedBytes) {
    // Fresh pages come zeroed: a mapping of its own needs no clearing, and
    // starts on a 2 MB boundary so that every 2 MB is one fault.
    const size_t mapped = in_big_pages(bytes);
    void* map = mmap(nullptr, mapped + kBigPageBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map != MAP_FAILED) {
      char* block = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(map) + kBigPageBytes - 1) &
                                            ~uintptr_t(kBigPageBytes - 1));
      const size_t before = static_cast<size_t>(block - static_cast<char*>(map));
      if (before) munmap(map, before);
      munmap(block + mapped, kBigPageBytes - before);
      madvise(block, mapped, MADV_HUGEPAGE);
      return block;
    }
    out_of_memory(operation, count, size);
  }
#endif
  return glmAlloc(operation, count, size);
}

void glmFreeZeroedScratch(void* block, size_t count, size_t size) {
#ifndef _WIN32
  const size_t bytes = count * size;  // it did not overflow when allocated
  if (bytes >= kPagedBytes) {
    munmap(block, in_big_pages(bytes));
    return;
  }
#else
  (void)count;
  (void)size;
#endif
  free(block);
}

void* glmGrow(void* block, size_t* capacity, size_t need, size_t size) {
  const size_t grown = std::max({need, *capacity * 2, size_t(4096) / size});
  if (grown > SIZE_MAX / size) return nullptr;
  void* bigger = block ? realloc(block, grown * size) : glmAllocPages(grown * size);
  if (!bigger) return nullptr;
  if (block) big_pages(bigger, grown * size);
  *capacity = grown;
  return bigger;
}

void* glmShrink(void* block, size_t bytes) {
#ifndef _WIN32
  // A block this big lies on 2 MB pages: cutting it short mid-page splits
  // that page, and the first pass over it afterwards is slow (2 to 3 ms a
  // split page here). Its room was never written, so it takes no memory.
  if (bytes >= kPagedBytes) return block;
#endif
  void* fitted = realloc(block, bytes ? bytes : 1);
  return fitted ? fitted : block;
}

char* glmStrdup(const char* operation, const char* text, size_t length) {
  char* copy = static_cast<char*>(glmAlloc(operation, length + 1, 1));
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

// Reads all that readSome gives into a block that doubles as it fills, with
// room for a terminating byte. readSome returns the bytes read, 0 at the end
// or -1 on an error (errno set). Returns 0, or why not (ENOMEM when memory
// ran out); on a failure nothing is kept.
template <typename ReadSome>
static int glmReadGrowing(size_t capacity, GlmText* text, ReadSome readSome) {
  char* data = static_cast<char*>(malloc(capacity + 1));
  size_t size = 0;
  int error = data ? 0 : ENOMEM;
  while (!error) {
    if (size == capacity) {
      capacity *= 2;
      char* bigger = static_cast<char*>(realloc(data, capacity + 1));
      if (!bigger) {
        error = ENOMEM;
        break;
      }
      data = bigger;
    }
    const long long got = readSome(data + size, capacity - size);
    if (got < 0) error = errno ? errno : EIO;
    if (got <= 0) break;
    size += static_cast<size_t>(got);
  }
  if (error) {
    free(data);
    return error;
  }
  text->data = data;
  text->size = size;
  return 0;
}

#ifdef _WIN32
// Reads the whole file in growing blocks, in binary mode so that the readers
// see the bytes that are on disk.
int glmLoadText(const char* path, GlmText* text) {
  *text = GlmText();
  FILE* file = fopen(path, "rb");
  if (!file) return errno ? errno : ENOENT;
  const int error =
      glmReadGrowing(size_t(1) << 16, text, [file](char* to, size_t room) -> long long {
        const size_t got = fread(to, 1, room, file);
        if (got == 0) return ferror(file) ? -1 : 0;
        return static_cast<long long>(got);
      });
  fclose(file);
  return error;
}

int glmOpenText(const char* path, GlmText* text) { return glmLoadText(path, text); }

void glmFreeText(GlmText* text) {
  free(text->data);
  *text = GlmText();
}
#else
static long long read_some(int fd, char* to, size_t room) {
  for (;;) {
    const ssize_t got = read(fd, to, room);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

// Reads a file whole, through read() rather than a mapping: a mapped file
// that another program cuts short kills its reader with SIGBUS. A directory
// or an unreadable file counts as one that cannot be opened.
static int load_open(int fd, GlmText* text) {
  struct stat info;
  size_t capacity = 1 << 16;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    capacity = static_cast<size_t>(info.st_size) + 1;  // a file that grew meanwhile still fits
  const int error = glmReadGrowing(
      capacity, text, [fd](char* to, size_t room) -> long long { return read_some(fd, to, room); });
  close(fd);
  return error;
}

int glmLoadText(const char* path, GlmText* text) {
  *text = GlmText();
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  return load_open(fd, text);
}

// A regular file stays open to be read a chunk at a time, so that a big one
// is never held whole; anything else (pipes, /dev/stdin) is read whole.
int glmOpenText(const char* path, GlmText* text) {
  *text = GlmText();
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    text->fd = fd;
    text->size = static_cast<size_t>(info.st_size);
    return 0;
  }
  return load_open(fd, text);
}

long long glmReadAt(int fd, char* to, size_t count, uint64_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, to + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;  // the end of the file, which may have moved since it was opened
    done += static_cast<size_t>(got);
  }
  return static_cast<long long>(done);
}

void glmFreeText(GlmText* text) {
  free(text->data);
  if (text->fd >= 0) close(text->fd);
  *text = GlmText();
}
#endif

uint64_t glmLineEndsBefore(const GlmText& text, size_t offset) {
  uint64_t lines = 0;
  const auto count = [&lines](const char* from, size_t length) {
    const char* end = from + length;
    for (const char* c = from; c < end; c++) {
      c = static_cast<const char*>(memchr(c, '\n', static_cast<size_t>(end - c)));
      if (!c) break;
      lines++;
    }
  };
  if (text.fd < 0) {
    count(text.data, std::min(offset, text.size));
    return lines;
  }
#ifndef _WIN32
  char block[1 << 16];
  for (size_t at = 0; at < offset;) {
    const long long got = glmReadAt(text.fd, block, std::min(sizeof block, offset - at), at);
    if (got <= 0) break;  // the file shrank meanwhile: count what is left
    count(block, static_cast<size_t>(got));
    at += static_cast<size_t>(got);
  }
#endif
  return lines;
}
