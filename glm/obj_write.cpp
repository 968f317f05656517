// obj_write.cpp: writing a model as OBJ text, and its material table as an
// MTL file beside it, in the dialect glmReadOBJ reads. Each file is written
// to a temporary beside it and renamed over it only once all of it reached
// the disk, so a write that fails ends the process and leaves the old files
// (or none) rather than a truncated model.
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cassert>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm_internal.h"

namespace {

// The header's own three lines; every line begins "#  ".
const char kHeaderLines[] =
    "#  Plinkar model library\n"
    "#  Faces are triangles; groups are listed newest first.\n"
    "#  Normals and texture coordinates as the model held them.\n";

// What each step of mode reconciliation prints when it drops a request.
const char* const kWriteWarnings[7] = {
    "glmWriteOBJ() warning: flat normal output requested with no facet normals defined.\n",
    "glmWriteOBJ() warning: smooth normal output requested with no normals defined.\n",
    "glmWriteOBJ() warning: texture coordinate output requested with no texture coordinates "
    "defined.\n",
    "glmWriteOBJ() warning: flat normal output requested and smooth normal output requested "
    "(using smooth).\n",
    "glmWriteOBJ() warning: color output requested with no colors (materials) defined.\n",
    "glmWriteOBJ() warning: material output requested with no materials defined.\n",
    "glmWriteOBJ() warning: color and material output requested outputting only "
    "materials.\n",
};

#ifdef _WIN32
const int kCloseOnExec = 0;
inline int sync_file(int fd) { return _commit(fd); }
#else
const int kCloseOnExec = O_CLOEXEC;
inline int sync_file(int fd) { return fsync(fd); }
#endif

// Where a path's directory part ends: after its last separator.
size_t directory_length(const std::string& path) {
#ifdef _WIN32
  const size_t end = path.find_last_of("/\\:");
#else
  const size_t end = path.rfind('/');
#endif
  return end == std::string::npos ? 0 : end + 1;
}

// A file being written. A regular file, or a new one, goes to a temporary
// in the target's directory that is renamed over it at the end; anything
// else (/dev/stdout, a pipe) is written in place, as a rename would replace
// the device itself.
struct Output {
  FILE* file = nullptr;
  std::string name;    // as given, for messages
  std::string target;  // what the rename replaces, symbolic links resolved
  std::string temp;    // empty when written in place
  int error = 0;       // why the first write that failed did
};

// fprintf that keeps the reason of the first write that fails: once the
// file is closed, ferror tells only that one did.
__attribute__((format(printf, 2, 3))) void put(Output* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (vfprintf(out->file, format, args) < 0 && !out->error) out->error = errno ? errno : EIO;
  va_end(args);
}

// Fails (errno set) where fopen(name, "w") would: a directory, a missing
// directory, a file without write permission.
bool open_output(Output* out, const std::string& name) {
  out->name = out->target = name;
  out->temp.clear();
  out->error = 0;
  struct stat info;
  const bool exists = stat(name.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (exists && !S_ISREG(info.st_mode)) {
    out->file = fopen(name.c_str(), "w");
    return out->file != nullptr;
  }
  if (exists && access(name.c_str(), W_OK) != 0) return false;
#ifndef _WIN32
  if (char* real = exists ? realpath(name.c_str(), nullptr) : nullptr) {
    out->target = real;
    free(real);
  }
#endif
  const size_t dir = directory_length(out->target);
  const std::string prefix = out->target.substr(0, dir) + "." + out->target.substr(dir, 64) + ".";
  static unsigned serial = 0;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; attempt++) {
    out->temp = prefix + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".tmp";
    fd = open(out->temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | kCloseOnExec, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd >= 0) {
#ifndef _WIN32
    // The old file's permissions carry over, as they would have in place.
    if (exists) fchmod(fd, info.st_mode & 07777);
#endif
    out->file = fdopen(fd, "w");
    if (out->file) return true;
    const int error = errno;
    close(fd);
    remove(out->temp.c_str());
    errno = error;
  }
  out->temp.clear();
  return false;
}

// Flushes, syncs and closes; 0 when everything reached the disk, else why not.
int close_output(Output* out) {
  int error = out->error;
  if (fflush(out->file) != 0 && !error) error = errno;
  if (ferror(out->file) && !error) error = EIO;  // a failure with no reason kept
  if (!out->temp.empty() && !error && sync_file(fileno(out->file)) != 0) error = errno;
  if (fclose(out->file) != 0 && !error) error = errno;
  out->file = nullptr;
  return error;
}

// Puts the written file in place of the target; 0, or why not.
int commit_output(Output* out) {
  if (out->temp.empty()) return 0;
#ifdef _WIN32
  const int error = MoveFileExA(out->temp.c_str(), out->target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                        ? 0
                        : EACCES;
#else
  const int error = rename(out->temp.c_str(), out->target.c_str()) == 0 ? 0 : errno;
#endif
  if (error) remove(out->temp.c_str());
  out->temp.clear();
  return error;
}

void discard_output(Output* out) {
  if (!out) return;
  if (out->file) fclose(out->file);
  out->file = nullptr;
  if (!out->temp.empty()) remove(out->temp.c_str());
  out->temp.clear();
}

// Drops what is half written, then reports and ends the process.
[[noreturn]] void die(const GlmFailure& failure, Output* a, Output* b = nullptr) {
  discard_output(a);
  discard_output(b);
  glmDie(failure);
}

[[noreturn]] void die_writing(const char* operation, int error, Output* a, Output* b = nullptr) {
  GlmFailure failure;
  glmFail(&failure, false, "%s() failed: can't write file \"%s\" (%s).\n", operation,
          a->name.c_str(), strerror(error));
  die(failure, a, b);
}

// The library's own name: the last component of the name it was read
// under, so that a name taken from a model file can't place the library
// outside the new file's directory. Empty when that names no file.
std::string library_file_name(const char* name) {
  std::string last = name;
  last.erase(0, directory_length(last));
  return last == "." || last == ".." ? std::string() : last;
}

// Writes the whole material table to the library beside objpath, up to the
// rename; a failure also drops other, the model being written with it.
void write_library(Model* model, const char* objpath, const std::string& file, Output* out,
                   Output* other) {
  char* prefix = glmPathPrefix(objpath);
  const std::string path = std::string(prefix) + file;
  free(prefix);
  if (!open_output(out, path)) {
    GlmFailure failure;
    glmFail(&failure, false, "glmWriteMTL() failed: can't open file \"%s\".\n", path.c_str());
    die(failure, other);
  }
  put(out, "#  \n#  Wavefront MTL generated by GLM library\n#  \n#  GLM library\n");
  put(out, "%s", kHeaderLines);
  put(out, "#  \n\n");
  for (uint32_t i = 0; i < model->mtlcount; i++) {
    const ModelMaterial& m = model->mtltable[i];
    put(out, "newmtl %s\n", m.name);
    put(out, "Ka %f %f %f\n", m.ka[0], m.ka[1], m.ka[2]);
    put(out, "Kd %f %f %f\n", m.kd[0], m.kd[1], m.kd[2]);
    put(out, "Ks %f %f %f\n", m.ks[0], m.ks[1], m.ks[2]);
    // Back from OpenGL's 0..128 to the file's 0..1000.
    put(out, "Ns %f\n", double(m.exponent) / 128.0 * 1000.0);
    put(out, "\n");
  }
  if (const int error = close_output(out)) die_writing("glmWriteMTL", error, out, other);
}

// Whether all three corners of a face name an element of a list of count.
bool all_set(const uint32_t index[3], uint32_t count) {
  for (int k = 0; k < 3; k++)
    if (index[k] < 1 || index[k] > count) return false;
  return true;
}

void write_triples(Output* out, const char* tag, const float* array, uint32_t count) {
  for (uint32_t i = 1; i <= count; i++)
    put(out, "%s %f %f %f\n", tag, array[3 * i], array[3 * i + 1], array[3 * i + 2]);
}

}  // namespace

void glmWriteMTL(Model* model, const char* objpath, const char* name) {
  const std::string file = library_file_name(name);
  if (file.empty()) {
    printf(
        "glmWriteMTL() warning: material library name \"%s\" is not a file name; nothing "
        "written.\n",
        name);
    return;
  }
  Output mtl;
  write_library(model, objpath, file, &mtl, nullptr);
  if (const int error = commit_output(&mtl)) die_writing("glmWriteMTL", error, &mtl);
}

void glmWriteOBJ(Model* model, const char* path, unsigned int mode) {
  assert(model);
  mode = glmReconcileMode(model, mode, kWriteWarnings);
  bool material = (mode & MODE_MATERIAL) != 0;
  const std::string library = model->mtlfile ? library_file_name(model->mtlfile) : "";
  if (material && model->mtlfile && library.empty()) {
    printf(
        "glmWriteOBJ() warning: material library name \"%s\" is not a file name; writing no "
        "materials.\n",
        model->mtlfile);
    material = false;
  }
  Output obj, mtl;
  if (!open_output(&obj, path)) {
    GlmFailure failure;
    glmFail(&failure, false, "glmWriteOBJ() failed: can't open file \"%s\" to write.\n", path);
    glmDie(failure);
  }
  put(&obj, "#  \n#  Wavefront OBJ generated by GLM library\n#  \n#  GLM library\n");
  put(&obj, "%s", kHeaderLines);
  put(&obj, "#  \n");

  if (material && model->mtlfile) {
    put(&obj, "\nmtllib %s\n\n", library.c_str());
    write_library(model, path, library, &mtl, &obj);
  }

  put(&obj, "\n# %u vertices\n", model->vertexcount);
  write_triples(&obj, "v", model->vertices, model->vertexcount);
  const bool smooth = (mode & MODE_SMOOTH) != 0;
  const bool flat = !smooth && (mode & MODE_FLAT) != 0;
  if (smooth) {
    put(&obj, "\n# %u normals\n", model->normalcount);
    write_triples(&obj, "vn", model->normals, model->normalcount);
  } else if (flat) {
    put(&obj, "\n# %u normals\n", model->facetnormcount);
    write_triples(&obj, "vn", model->facetnorms, model->facetnormcount);
  }
  const bool texture = (mode & MODE_TEXTURE) != 0;
  if (texture) {
    put(&obj, "\n# %u texcoords\n", model->uvcount);
    for (uint32_t i = 1; i <= model->uvcount; i++)
      put(&obj, "vt %f %f\n", model->uvs[2 * i], model->uvs[2 * i + 1]);
  }

  put(&obj, "\n# %u groups\n# %u faces (triangles)\n\n", model->groupcount, model->facecount);
  for (ModelGroup* group = model->grouplist; group; group = group->next) {
    put(&obj, "g %s\n", group->name);
    if (material) put(&obj, "usemtl %s\n", glmGroupMaterial(model, group).name);
    for (uint32_t i = 0; i < group->facecount; i++) {
      const ModelFace& f = model->faces[group->faceindices[i]];
      const uint32_t* v = f.vertexidx;
      // With flat normals every corner carries the face's own normal; with
      // texture coordinates too, as v/t/n so that it reads back as written.
      const uint32_t n[3] = {flat ? f.facetidx : f.normalidx[0], flat ? f.facetidx : f.normalidx[1],
                             flat ? f.facetidx : f.normalidx[2]};
      // Each face in the form its own indices allow: one that never had
      // normals or texture coordinates (the reader takes the form per face)
      // is written without them rather than with indices that name nothing.
      const bool normals =
          (smooth && all_set(n, model->normalcount)) || (flat && all_set(n, model->facetnormcount));
      const bool uvs = texture && all_set(f.uvidx, model->uvcount);
      if (normals && uvs)
        put(&obj, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", v[0], f.uvidx[0], n[0], v[1], f.uvidx[1], n[1],
            v[2], f.uvidx[2], n[2]);
      else if (uvs)
        put(&obj, "f %u/%u %u/%u %u/%u\n", v[0], f.uvidx[0], v[1], f.uvidx[1], v[2], f.uvidx[2]);
      else if (normals)
        put(&obj, "f %u//%u %u//%u %u//%u\n", v[0], n[0], v[1], n[1], v[2], n[2]);
      else
        put(&obj, "f %u %u %u\n", v[0], v[1], v[2]);
    }
    put(&obj, "\n");
  }
  // Both files complete on disk before either replaces what was there.
  if (const int error = close_output(&obj)) die_writing("glmWriteOBJ", error, &obj, &mtl);
  if (const int error = commit_output(&mtl)) die_writing("glmWriteMTL", error, &mtl, &obj);
  if (const int error = commit_output(&obj)) die_writing("glmWriteOBJ", error, &obj);
}
