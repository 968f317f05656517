// MTL reading: the material table, its initial values, and where the library is looked for.
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "test_util.h"

static ModelPtr read_library(const std::string& mtl) {
  return read_obj("mtllib m.mtl\nv 0 0 0\n", mtl);
}

TEST(MtlTable, MaterialsFollowDefaultInFileOrderWithTheirInitialValues) {
  ModelPtr m = read_library("# lib\nnewmtl wood\nnewmtl a brass\nnewmtl wood\nKe 1 1 1\nd 0.5\n");
  ASSERT_EQ(m->mtlcount, 4u);
  EXPECT_STREQ(m->mtltable[0].name, "default");
  EXPECT_STREQ(m->mtltable[2].name, "brass");
  EXPECT_STREQ(m->mtltable[3].name, "wood");
  EXPECT_STREQ(m->mtlfile, "m.mtl");
  EXPECT_EQ(glmFindMaterial(m.get(), "wood"), 1u);  // the lower of two
  const ModelMaterial& p = m->mtltable[3];          // kd, ka, ks, exponent
  EXPECT_EQ(std::vector<float>({p.kd[0], p.kd[3], p.ka[1], p.ks[2], p.ks[3], p.exponent}),
            std::vector<float>({0.8f, 1, 0.2f, 0, 1, 65}));
}

// Statements set the current material ("default" before any newmtl) and reading goes on
// with the next word; a colour cut short sets what it read; every N word scales Ns.
TEST(MtlTable, StatementsSetTheCurrentMaterial) {
  ModelPtr m = read_library(
      "Kd 0.1 0.2 0.3\nnewmtl a\nNs 100 Ni 1.5\nKd 1 0.5 1 Ka 0.25 0 0\nKs 0.5 0.5 0.7 newmtl b\n"
      "Kd 0 1\nNs 500\nnewmtl c\nNs 0\nnewmtl d\nNs\nnewmtl e\nKd 0.25 x\n");
  ASSERT_EQ(m->mtlcount, 6u);
  const ModelMaterial *d = &m->mtltable[0], *a = &m->mtltable[1], *b = &m->mtltable[2];
  EXPECT_STREQ(b->name, "b");
  EXPECT_FLOAT_EQ(a->exponent, 0.192f);             // Ni 1.5 after Ns 100
  EXPECT_FLOAT_EQ(m->mtltable[4].exponent, 8.32f);  // no number: the old value, scaled
  EXPECT_EQ(
      std::vector<float>({d->kd[2], a->kd[1], a->ka[0], a->ks[2], b->kd[1], b->kd[2], b->exponent,
                          m->mtltable[3].exponent, m->mtltable[5].kd[0], m->mtltable[5].kd[1]}),
      std::vector<float>({0.3f, 0.5f, 0.25f, 0.7f, 1, 0.8f, 64, 0, 0.25f, 0.8f}));
}

TEST(MtlPath, TheLibraryIsLookedForBesideTheModel) {
  for (const char* path : {"data/piano.obj", "a/b/c.obj", "/x.obj", "data\\piano.obj", "p.obj"}) {
    char* prefix = glmPathPrefix(path);
    EXPECT_EQ(prefix, std::string(path).substr(0, std::string(path).rfind('/') + 1));
    free(prefix);
  }
  // A backslash path looks in the working directory.
  char* old = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(testDir().c_str()), 0);
  writeFile("here.mtl", "newmtl found\n");
  writeFile("dir\\x.obj", "mtllib here.mtl\n");
  ModelPtr m(glmReadOBJ("dir\\x.obj"));
  EXPECT_EQ(chdir(old), 0);
  free(old);
  ASSERT_EQ(m->mtlcount, 2u);
  EXPECT_STREQ(m->mtltable[1].name, "found");
  // A second library replaces the first.
  writeFile("first.mtl", "newmtl one\nnewmtl two\n");
  m = read_obj("mtllib first.mtl\nmtllib here.mtl\nv 0 0 0\n");
  EXPECT_STREQ(m->mtlfile, "here.mtl");
  ASSERT_EQ(m->mtlcount, 2u);
  EXPECT_STREQ(m->mtltable[1].name, "found");
}
