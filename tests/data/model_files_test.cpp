// The three shipped models as files: they read cleanly, are already fitted
// to the unit cube, stay within their triangle budgets, give every group a
// material, and every part is a closed solid whose triangles face outwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <tuple>

#include "model_geometry.h"

namespace {

struct Shipped {
  const char* obj;
  const char* mtl;
  uint32_t budget;  // triangles
};

const Shipped kModels[] = {{"piano.obj", "piano.mtl", 12000},
                           {"drum.obj", "drum.mtl", 16000},
                           {"gita.obj", "gita.mtl", 6000}};

class ShippedModel : public testing::TestWithParam<Shipped> {};

TEST_P(ShippedModel, ReadsWithoutWarnings) {
  std::string printed;
  ModelPtr model = read_shipped(GetParam().obj, &printed);
  ASSERT_TRUE(model);
  EXPECT_EQ(printed, "");
  EXPECT_GT(model->vertexcount, 0u);
  EXPECT_STREQ(model->mtlfile, GetParam().mtl);
}

TEST_P(ShippedModel, FittingToTheUnitCubeLeavesItInPlace) {
  ModelPtr model = read_shipped(GetParam().obj);
  const std::vector<float> before(model->vertices, model->vertices + 3 * (model->vertexcount + 1));
  EXPECT_NEAR(glmFitToUnitCube(model.get()), 1.0f, 1e-6f);
  float moved = 0;
  for (uint32_t i = 3; i < before.size(); i++)
    moved = std::max(moved, std::fabs(model->vertices[i] - before[i]));
  EXPECT_LE(moved, 1e-4f);
  float dimensions[3];
  glmGetDimensions(model.get(), dimensions);
  EXPECT_NEAR(std::max({dimensions[0], dimensions[1], dimensions[2]}), 2.0f, 1e-5f);
}

TEST_P(ShippedModel, StaysWithinItsTriangleBudget) {
  ModelPtr model = read_shipped(GetParam().obj);
  EXPECT_LE(model->facecount, GetParam().budget);
  // Rounded parts need their segments: a model far under budget has lost some.
  EXPECT_GE(model->facecount, GetParam().budget / 3);
}

TEST_P(ShippedModel, EveryGroupHasAMaterialFromItsLibrary) {
  ModelPtr model = read_shipped(GetParam().obj);
  std::ifstream mtl(data_path(GetParam().mtl));
  std::set<std::string> defined;
  for (std::string word, name; mtl >> word;)
    if (word == "newmtl" && mtl >> name) defined.insert(name);
  ASSERT_FALSE(defined.empty());
  int groups = 0;
  for (const ModelGroup* g = model->grouplist; g; g = g->next) {
    if (g->facecount == 0) continue;  // the reader's empty "default" group
    groups++;
    ASSERT_LT(g->mtlindex, model->mtlcount) << g->name;
    EXPECT_NE(g->mtlindex, 0u) << g->name << " uses the built-in default material";
    EXPECT_EQ(defined.count(model->mtltable[g->mtlindex].name), 1u) << g->name;
  }
  EXPECT_GE(groups, 8);
}

TEST_P(ShippedModel, EveryPartIsClosedAndFacesOutwards) {
  ModelPtr model = read_shipped(GetParam().obj);
  const Triangles t = triangles_of(model.get());
  // Each directed edge once, and its reverse once, within the part.
  std::map<std::tuple<std::string, uint32_t, uint32_t>, int> edges;
  for (size_t i = 0; i < t.index.size(); i++)
    for (int c = 0; c < 3; c++) edges[{t.group[i], t.index[i][c], t.index[i][(c + 1) % 3]}]++;
  int bad = 0;
  for (const auto& [edge, count] : edges) {
    const auto& [group, a, b] = edge;
    const auto reverse = edges.find({group, b, a});
    if (count != 1 || reverse == edges.end() || reverse->second != 1) bad++;
  }
  EXPECT_EQ(bad, 0);

  // Each connected piece encloses a positive volume: outward winding.
  std::vector<uint32_t> root(model->vertexcount + 1);
  std::iota(root.begin(), root.end(), 0u);
  auto find = [&](uint32_t v) {
    while (root[v] != v) v = root[v] = root[root[v]];
    return v;
  };
  for (const auto& tri : t.index) {
    root[find(tri[1])] = find(tri[0]);
    root[find(tri[2])] = find(tri[0]);
  }
  std::map<uint32_t, double> volume;
  for (size_t i = 0; i < t.corners.size(); i++) {
    const auto& c = t.corners[i];
    volume[find(t.index[i][0])] += (c[0].x * (c[1].y * c[2].z - c[1].z * c[2].y) -
                                    c[0].y * (c[1].x * c[2].z - c[1].z * c[2].x) +
                                    c[0].z * (c[1].x * c[2].y - c[1].y * c[2].x)) /
                                   6;
  }
  for (const auto& [piece, v] : volume) EXPECT_GT(v, 0) << "piece at vertex " << piece;
}

TEST_P(ShippedModel, NoZeroAreaOrDuplicateTriangles) {
  ModelPtr model = read_shipped(GetParam().obj);
  const Triangles t = triangles_of(model.get());
  std::set<std::array<std::tuple<double, double, double>, 3>> seen;
  for (size_t i = 0; i < t.corners.size(); i++) {
    const auto& c = t.corners[i];
    const P3 u = {c[1].x - c[0].x, c[1].y - c[0].y, c[1].z - c[0].z};
    const P3 v = {c[2].x - c[0].x, c[2].y - c[0].y, c[2].z - c[0].z};
    const P3 n = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    EXPECT_GT(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) / 2, 1e-10) << "triangle " << i;
    std::array<std::tuple<double, double, double>, 3> key;
    for (int k = 0; k < 3; k++) key[k] = {c[k].x, c[k].y, c[k].z};
    std::sort(key.begin(), key.end());
    EXPECT_TRUE(seen.insert(key).second) << "triangle " << i << " repeats another";
  }
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedModel, testing::ValuesIn(kModels),
                         [](const testing::TestParamInfo<Shipped>& info) {
                           std::string name = info.param.obj;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
