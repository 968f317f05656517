// glm.h: the model library. Reads Wavefront OBJ models with their MTL
// material libraries into one record, fits them into the unit cube and
// computes facet and smoothed vertex normals.
//
// Failures are not returned: an operation that cannot go on (a file that
// cannot be opened, an OBJ word that cannot be placed, a bad index) prints a
// message that begins with its own name and ends the process with status 1.
// A request the model cannot satisfy prints "name() warning: ..." to
// standard output and work goes on.
#ifndef PLINKAR_GLM_GLM_H
#define PLINKAR_GLM_GLM_H

#include <cstdint>

// Mode flags, shared by drawing and writing.
enum : unsigned int {
  MODE_FLAT = 1,       // one facet normal per triangle
  MODE_SMOOTH = 2,     // one vertex normal per corner
  MODE_TEXTURE = 4,    // a texture coordinate per corner
  MODE_COLOR = 8,      // colour from each group's diffuse colour
  MODE_MATERIAL = 16,  // material from each group's material
  MODE_WIREFRAME = 32  // each triangle as a closed line loop
};

// One triangle. Indices are 1-based, as in the OBJ file. A slot that nothing
// has set holds 0; read it only when the matching array exists.
struct ModelFace {
  uint32_t vertexidx[3];  // corner order is the winding
  uint32_t normalidx[3];
  uint32_t uvidx[3];
  uint32_t facetidx;
};

struct ModelGroup {
  char* name;  // compared byte for byte
  uint32_t facecount;
  uint32_t* faceindices;  // 0-based indices into Model::faces, file order
  uint32_t mtlindex;      // into Model::mtltable; 0 when created
  ModelGroup* next;
};

struct ModelMaterial {
  char* name;
  float kd[4];     // diffuse
  float ka[4];     // ambient
  float ks[4];     // specular
  float exponent;  // OpenGL shininess, 0..128 (MTL Ns scaled by 128/1000)
};

// One model. vertices, normals, facetnorms and uvs are 1-based so that OBJ
// indices work directly: element 0 is allocated and never holds a value, so
// an array for n items has n + 1 of them. faces, group face lists and the
// material table are 0-based. The model owns everything it points to.
struct Model {
  char* objpath;  // path given to glmReadOBJ
  char* mtlfile;  // name on the mtllib line, or null

  uint32_t vertexcount;
  float* vertices;  // 3 * (vertexcount + 1)

  uint32_t normalcount;
  float* normals;  // 3 * (normalcount + 1), or null

  uint32_t uvcount;
  float* uvs;  // 2 * (uvcount + 1), or null

  uint32_t facetnormcount;
  float* facetnorms;  // 3 * (facetnormcount + 1), or null

  uint32_t facecount;
  ModelFace* faces;

  uint32_t mtlcount;        // counts the built-in material 0, "default"
  ModelMaterial* mtltable;  // or null when no library was named

  uint32_t groupcount;
  ModelGroup* grouplist;  // newest first; "default" is last
};

// Called with the message of a failure that ends the process, after it is
// printed and before the process ends with status 1: for a program with no
// console to show it on. Null, the default, calls nothing.
typedef void (*GlmFatalHandler)(const char* message);
void glmSetFatalHandler(GlmFatalHandler handler);

// Model record and look-ups.
ModelGroup* glmLookupGroup(Model* model, const char* name);
ModelGroup* glmEnsureGroup(Model* model, const char* name);
uint32_t glmFindMaterial(Model* model, const char* name);
void glmDestroy(Model* model);

// Reading. glmReadOBJ never returns null.
Model* glmReadOBJ(const char* path);
void glmReadMTL(Model* model, const char* name);
char* glmPathPrefix(const char* path);  // caller frees with free()

// Bounds. Extents are |max| + |min| per axis.
float glmFitToUnitCube(Model* model);
void glmGetDimensions(Model* model, float* dimensions);
void glmScaleVertices(Model* model, float scale);
void glmTranslateVertices(Model* model, const float* offset);
void glmFlipWinding(Model* model);

// Normals.
void glmComputeFacetNormals(Model* model);
void glmVertexNormals(Model* model, float angle);
void glmCrossProduct(const float* u, const float* v, float* n);
void glmNormalizeVector(float* v);
float glmDotProduct(const float* u, const float* v);

// Drawing with OpenGL, on the thread that holds the context. mode is a set
// of the MODE_ flags; what the model lacks is dropped with a warning.
void glmDraw(Model* model, unsigned int mode);
unsigned int glmCompileList(Model* model, unsigned int mode);  // a display list

// Generated texture coordinates, replacing any the model had.
void glmPlanarUVs(Model* model);
void glmSphereMapUVs(Model* model);

// Welding: vertices within epsilon of a kept one on every axis join it.
bool glmNearlyEqual(const float* u, const float* v, float epsilon);
float* glmMergeVectors(float* vectors, uint32_t* count, float epsilon);
void glmWeldVertices(Model* model, float epsilon);

// Writing, in the dialect glmReadOBJ reads. mode picks the attributes.
void glmWriteOBJ(Model* model, const char* path, unsigned int mode);
void glmWriteMTL(Model* model, const char* objpath, const char* name);

// A binary "P6" PPM image: width * height * 3 bytes (free() it), or null.
unsigned char* glmReadRawPPM(const char* filename, int* width, int* height);

#endif  // PLINKAR_GLM_GLM_H
