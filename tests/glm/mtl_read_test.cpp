// MTL reading: the material table, its initial values, the exponent scale,
// and where the library is looked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "test_util.h"

static ModelPtr read_library(const std::string& mtl) {
  return read_obj("mtllib m.mtl\nv 0 0 0\n", mtl);
}

TEST(MtlTable, MaterialsFollowDefaultInFileOrder) {
  ModelPtr m = read_library("# lib\nnewmtl wood\nnewmtl a brass\nnewmtl wood\n");
  ASSERT_EQ(m->mtlcount, 4u);
  EXPECT_STREQ(m->mtltable[0].name, "default");
  EXPECT_STREQ(m->mtltable[1].name, "wood");
  EXPECT_STREQ(m->mtltable[2].name, "brass");
  EXPECT_STREQ(m->mtltable[3].name, "wood");
  EXPECT_STREQ(m->mtlfile, "m.mtl");
  // Two materials of one name: the lower index is found.
  EXPECT_EQ(glmFindMaterial(m.get(), "wood"), 1u);
}

TEST(MtlTable, UntouchedMaterialsKeepTheirInitialValues) {
  ModelPtr m = read_library("newmtl plain\nKe 1 1 1\nillum 2\nd 0.5\nmap_Kd x.ppm\n");
  const ModelMaterial& plain = m->mtltable[1];
  EXPECT_EQ(plain.kd[0], 0.8f);
  EXPECT_EQ(plain.kd[3], 1.0f);
  EXPECT_EQ(plain.ka[1], 0.2f);
  EXPECT_EQ(plain.ks[2], 0.0f);
  EXPECT_EQ(plain.ks[3], 1.0f);
  EXPECT_EQ(plain.exponent, 65.0f);
}

TEST(MtlTable, ColoursSetTheCurrentMaterialAndDefaultBeforeAnyNewmtl) {
  ModelPtr m = read_library(
      "Kd 0.1 0.2 0.3\nnewmtl red\nKd 1 0 0\nKa 0.5 0.5 0.5\nKs 0.9 0.8 0.7\n"
      "newmtl part\nKd 0.25 x\n");
  EXPECT_EQ(m->mtltable[0].kd[2], 0.3f);
  EXPECT_EQ(m->mtltable[1].kd[0], 1.0f);
  EXPECT_EQ(m->mtltable[1].kd[1], 0.0f);
  EXPECT_EQ(m->mtltable[1].ka[0], 0.5f);
  EXPECT_EQ(m->mtltable[1].ks[2], 0.7f);
  // A colour cut short sets what it could read.
  EXPECT_EQ(m->mtltable[2].kd[0], 0.25f);
  EXPECT_EQ(m->mtltable[2].kd[1], 0.8f);
}

TEST(MtlTable, AStatementReadsItsNumbersAndReadingGoesOnWithTheNextWord) {
  ModelPtr m = read_library(
      "newmtl a\nNs 100 Ni 1.5\nKd 1 1 1 Ka 0 0 0\nKs 0.5 0.5 0.5 newmtl b\nKd 0 1\n"
      "newmtl c\n");
  ASSERT_EQ(m->mtlcount, 4u);
  EXPECT_FLOAT_EQ(m->mtltable[1].exponent, 0.192f);
  EXPECT_EQ(m->mtltable[1].kd[0], 1.0f);
  EXPECT_EQ(m->mtltable[1].ka[0], 0.0f);
  EXPECT_EQ(m->mtltable[1].ks[2], 0.5f);
  EXPECT_STREQ(m->mtltable[2].name, "b");
  EXPECT_EQ(m->mtltable[2].kd[1], 1.0f);
  EXPECT_EQ(m->mtltable[2].kd[2], 0.8f);
  EXPECT_STREQ(m->mtltable[3].name, "c");
}

TEST(MtlExponent, EveryNWordSetsItScaledTo128) {
  ModelPtr m = read_library(
      "newmtl a\nNs 500\nnewmtl b\nNs 0\nnewmtl c\nNs 1000\nNi 1.5\n"
      "newmtl d\nNs\nnewmtl e\n");
  EXPECT_EQ(m->mtltable[1].exponent, 64.0f);
  EXPECT_EQ(m->mtltable[2].exponent, 0.0f);
  EXPECT_FLOAT_EQ(m->mtltable[3].exponent, 0.192f);
  // No number: the old value is scaled all the same.
  EXPECT_FLOAT_EQ(m->mtltable[4].exponent, 8.32f);
  EXPECT_EQ(m->mtltable[5].exponent, 65.0f);
}

TEST(MtlPath, PrefixIsEverythingUpToTheLastSlash) {
  struct Case {
    const char* path;
    const char* prefix;
  } cases[] = {{"data/piano.obj", "data/"},
               {"a/b/c.obj", "a/b/"},
               {"/x.obj", "/"},
               {"data\\piano.obj", ""},
               {"piano.obj", ""}};
  for (const Case& c : cases) {
    char* prefix = glmPathPrefix(c.path);
    EXPECT_STREQ(prefix, c.prefix) << c.path;
    free(prefix);
  }
}

TEST(MtlPath, ABackslashPathLooksInTheWorkingDirectory) {
  char* old = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(testDir().c_str()), 0);
  writeFile("here.mtl", "newmtl found\n");
  writeFile("dir\\x.obj", "mtllib here.mtl\n");
  ModelPtr m(glmReadOBJ("dir\\x.obj"));
  EXPECT_EQ(chdir(old), 0);
  free(old);
  ASSERT_EQ(m->mtlcount, 2u);
  EXPECT_STREQ(m->mtltable[1].name, "found");
}

TEST(MtlPath, ASecondLibraryReplacesTheFirst) {
  writeFile("first.mtl", "newmtl one\nnewmtl two\n");
  writeFile("second.mtl", "newmtl three\n");
  ModelPtr m = read_obj("mtllib first.mtl\nmtllib second.mtl\nv 0 0 0\n");
  EXPECT_STREQ(m->mtlfile, "second.mtl");
  ASSERT_EQ(m->mtlcount, 2u);
  EXPECT_STREQ(m->mtltable[1].name, "three");
}
