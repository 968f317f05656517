// The model record's groups and materials.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "test_util.h"

static Model* empty_model() { return static_cast<Model*>(calloc(1, sizeof(Model))); }

TEST(ModelGroups, LookupMatchesExactlyAndEnsureCreatesOnce) {
  ModelPtr m(empty_model());
  ModelGroup* def = glmEnsureGroup(m.get(), "default");
  ModelGroup* key = glmEnsureGroup(m.get(), "Key");
  EXPECT_EQ(glmEnsureGroup(m.get(), "Key"), key);
  EXPECT_EQ(m->groupcount, 2u);
  EXPECT_EQ(glmLookupGroup(m.get(), "key"), nullptr);
  EXPECT_EQ(glmLookupGroup(m.get(), " Key"), nullptr);
  // Newest first; "default", created first, is last.
  EXPECT_EQ(m->grouplist, key);
  EXPECT_EQ(key->next, def);
  EXPECT_EQ(def->next, nullptr);
  EXPECT_EQ(def->mtlindex, 0u);
  EXPECT_EQ(def->facecount, 0u);
}

TEST(ModelMaterials, UnknownNameWarnsAndGivesDefault) {
  ModelPtr m(empty_model());
  testing::internal::CaptureStdout();
  EXPECT_EQ(glmFindMaterial(m.get(), "oak"), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "glmFindMaterial():  can't find material \"oak\".\n");
}

using ModelDeathTest = testing::Test;

TEST_F(ModelDeathTest, NullModelIsAProgrammingError) {
  EXPECT_DEATH(glmLookupGroup(nullptr, "x"), "model");
  EXPECT_DEATH(glmDestroy(nullptr), "model");
}
