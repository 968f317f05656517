#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "glm/glm.h"
#include "instruments/instruments.h"
#include "scene/lighting.h"
#include "tests/player/fake_platform.h"
#include "tests/support/files.h"

// A row of n triangles, 4 units wide, off the origin, so that fitting shows.
static void writeModel(const char* name, int triangles) {
  std::string text = "v 10 0 0\nv 14 0 0\n";
  for (int t = 0; t < triangles; t++) text += "v " + std::to_string(10 + t) + " 1 1\n";
  for (int t = 0; t < triangles; t++) text += "f 1 2 " + std::to_string(t + 3) + "\n";
  writeFile(std::string("data/") + name + ".obj", text);
}

// The menu reads data/ under the working directory: the test program's own.
class InstrumentMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir((testDir() + "/data").c_str(), 0700);
    ASSERT_EQ(chdir(testDir().c_str()), 0);
    writeModel("piano", 1);
    writeModel("drum", 2);
    writeModel("gita", 3);
    resetPlayer();
  }
  void TearDown() override {
    for (Model*& model : appState.models)
      if (model) glmDestroy(model);
    appState.models[0] = appState.models[1] = appState.models[2] = nullptr;
  }
};

TEST_F(InstrumentMenuTest, ChoiceTogglesOneInstrumentAndReadsEveryShownModelAgain) {
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano] + 2 * appState.shown[Drum] + 4 * appState.shown[Guitar], 1);
  ASSERT_NE(appState.models[Piano], nullptr);
  EXPECT_EQ(appState.models[Drum], nullptr);
  const Model* piano = appState.models[Piano];
  EXPECT_EQ(piano->facecount, 1u);
  // Fitted: centred on the origin, inside the unit cube; with normals.
  EXPECT_NEAR(piano->vertices[3], -piano->vertices[6], 1e-6f);
  EXPECT_LT(piano->vertices[6], 1.0f);
  EXPECT_GT(piano->vertices[6], 0.0f);
  EXPECT_TRUE(piano->facetnorms != nullptr && piano->normals != nullptr);
  EXPECT_EQ(appState.drawMode, MODE_SMOOTH);
  EXPECT_EQ(calls.redisplays, 1);

  writeModel("piano", 4);
  instrumentMenu('3');
  EXPECT_EQ(appState.models[Piano]->facecount, 4u);
  EXPECT_EQ(appState.models[Guitar]->facecount, 3u);
  writeModel("gita", 5);
  instrumentMenu(0);  // not an entry: toggles nothing, still reloads
  EXPECT_EQ(appState.models[Guitar]->facecount, 5u);
  instrumentMenu('1');
  EXPECT_EQ(appState.shown[Piano] + 2 * appState.shown[Drum] + 4 * appState.shown[Guitar], 4);
  EXPECT_EQ(appState.models[Piano], nullptr);
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

// Leak checking in the sanitizer build sees any model dropped undestroyed.
TEST_F(InstrumentMenuTest, ToggledModelsAreReleased) {
  for (int i = 0; i < 200; i++) instrumentMenu('1' + i % 3);
  EXPECT_EQ(appState.shown[Piano] + appState.shown[Drum] + appState.shown[Guitar], 2);
}
