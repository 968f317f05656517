#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "scene/lighting.h"
#include "tests/player/fake_platform.h"

// Each test runs in a directory of its own with small models under data/.
class InstrumentMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/plinkar-menu-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_EQ(mkdir("data", 0700), 0);
    writeModel("data/piano.obj", 1);
    writeModel("data/drum.obj", 2);
    writeModel("data/gita.obj", 3);
    resetPlayer();
  }
  void TearDown() override {
    for (Model*& model : appState.models) {
      if (model) glmDestroy(model);
      model = nullptr;
    }
    ASSERT_EQ(chdir(previous_), 0);
    std::system(("rm -rf " + dir_).c_str());
  }
  // A row of n triangles, 4 units wide, off the origin, so that fitting shows.
  static void writeModel(const char* path, int triangles) {
    FILE* f = std::fopen(path, "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "v 10 0 0\nv 14 0 0\n");
    for (int t = 0; t < triangles; t++) std::fprintf(f, "v %d 1 1\n", 10 + t);
    for (int t = 0; t < triangles; t++) std::fprintf(f, "f 1 2 %d\n", t + 3);
    std::fclose(f);
  }

  std::string dir_;
  char previous_[4096];
};

TEST_F(InstrumentMenuTest, ChoiceTogglesOneInstrumentAndLoadsItFitted) {
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano], 1);
  EXPECT_EQ(appState.shown[Drum], 0);
  ASSERT_NE(appState.models[Piano], nullptr);
  EXPECT_EQ(appState.models[Drum], nullptr);
  const Model* piano = appState.models[Piano];
  EXPECT_EQ(piano->facecount, 1u);
  // Fitted: centred on the origin, inside the unit cube; with normals.
  EXPECT_NEAR(piano->vertices[3], -piano->vertices[6], 1e-6f);
  EXPECT_LT(piano->vertices[6], 1.0f);
  EXPECT_GT(piano->vertices[6], 0.0f);
  EXPECT_NE(piano->facetnorms, nullptr);
  EXPECT_NE(piano->normals, nullptr);
  EXPECT_EQ(appState.drawMode, MODE_SMOOTH);
  EXPECT_EQ(calls.redisplays, 1);

  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano], 0);
  EXPECT_EQ(appState.models[Piano], nullptr);
}

TEST_F(InstrumentMenuTest, EveryChoiceReadsEveryShownModelAgain) {
  instrumentMenu('1');
  EXPECT_EQ(appState.models[Piano]->facecount, 1u);
  writeModel("data/piano.obj", 4);
  instrumentMenu('2');
  EXPECT_EQ(appState.models[Piano]->facecount, 4u);
  EXPECT_EQ(appState.models[Drum]->facecount, 2u);
  writeModel("data/drum.obj", 5);
  instrumentMenu(0);  // not an entry: toggles nothing, still reloads
  EXPECT_EQ(appState.models[Drum]->facecount, 5u);
  EXPECT_EQ(appState.shown[Piano], 1);
  EXPECT_EQ(appState.shown[Guitar], 0);
}

TEST_F(InstrumentMenuTest, LoadingResetsTheMaterialWhileAnythingIsShown) {
  instrumentMenu('3');
  materialMenu(1);  // Brass
  instrumentMenu('2');
  EXPECT_EQ(currentMaterial.shininess, 83.2f);  // Polished_Gold
  materialMenu(19);
  instrumentMenu('2');  // drum off, guitar still on
  EXPECT_EQ(currentMaterial.shininess, 83.2f);
  materialMenu(19);
  appState.drawMode = 42;
  instrumentMenu('3');  // the last one off: material and mode stay
  EXPECT_EQ(currentMaterial.shininess, 10.0f);
  EXPECT_EQ(appState.drawMode, 42);
  for (Model* model : appState.models) EXPECT_EQ(model, nullptr);
}

TEST_F(InstrumentMenuTest, MissingModelEndsTheProgram) {
  ASSERT_EQ(std::remove("data/drum.obj"), 0);
  EXPECT_EXIT(instrumentMenu('2'), ::testing::ExitedWithCode(1),
              "glmReadOBJ\\(\\) failed: can't open data file \"data/drum.obj\"");
}

TEST_F(InstrumentMenuTest, ToggledModelsAreReleased) {
  // Leak checking in the sanitizer build sees any model that is dropped
  // without being destroyed.
  for (int i = 0; i < 200; i++) instrumentMenu('1' + i % 3);
  EXPECT_EQ(appState.shown[Piano] + appState.shown[Drum] + appState.shown[Guitar], 2);
}
