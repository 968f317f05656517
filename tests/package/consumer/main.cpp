// Reads a model through the installed library and prints what it holds.
#include <cstdio>

#include "glm/glm.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Model* model = glmReadOBJ(argv[1]);
  std::printf("%u vertices, %u triangles, %u groups\n", model->vertexcount, model->facecount,
              model->groupcount);
  glmDestroy(model);
  return 0;
}
