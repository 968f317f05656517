// weld_bench: how long welding takes, and that the grid search gives what
// the plain search gives.
//
// Run: build/bench/weld_bench
//
// The models are unwelded grid surfaces: every quad of an N x N grid has
// its own four corners, with a little noise, so each position appears up
// to four times within a small distance. It times glmWeldVertices on
// 500,000 vertices, and both searches side by side on 20,000, checking that
// they merge the same vertices into the same places.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glm/glm_internal.h"

namespace {

// Deterministic noise, so that every run welds the same model.
uint32_t next_random(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// 1-based triples of an unwelded grid of about `target` vertices.
std::vector<float> grid_vectors(uint32_t target, float noise) {
  uint32_t side = 1;
  while (4 * (side + 1) * (side + 1) <= target) side++;
  std::vector<float> v(3, 0.0f);
  uint32_t state = 12345;
  auto jitter = [&] { return noise * ((next_random(state) % 2001) / 1000.0f - 1.0f); };
  for (uint32_t i = 0; i < side && v.size() / 3 <= target; i++)
    for (uint32_t j = 0; j < side && v.size() / 3 + 4 <= target + 1; j++) {
      const int corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (const auto& c : corners) {
        v.push_back(0.01f * float(i + c[0]) + jitter());
        v.push_back(0.0f);
        v.push_back(0.01f * float(j + c[1]) + jitter());
      }
    }
  return v;
}

double milliseconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main() {
  const float epsilon = 0.001f, noise = 0.0002f;

  // Side by side on a model the plain search can still do.
  std::vector<float> small = grid_vectors(20000, noise);
  uint32_t n = static_cast<uint32_t>(small.size() / 3 - 1);
  std::vector<uint32_t> plain_map(n + 1), grid_map(n + 1);
  uint32_t plain_count = n, grid_count = n;
  auto start = std::chrono::steady_clock::now();
  float* plain = glmMergeVectorsPlain(small.data(), &plain_count, epsilon, plain_map.data());
  const double plain_ms = milliseconds(start);
  start = std::chrono::steady_clock::now();
  float* grid = glmMergeVectorsMap(small.data(), &grid_count, epsilon, grid_map.data());
  const double grid_ms = milliseconds(start);
  const bool same = plain_count == grid_count && plain_map == grid_map &&
                    memcmp(plain, grid, 3 * (size_t(plain_count) + 1) * sizeof(float)) == 0;
  printf("%u vertices: plain search %.1f ms, grid %.2f ms, %u kept; outputs %s\n", n, plain_ms,
         grid_ms, grid_count, same ? "equal" : "DIFFER");
  free(plain);
  free(grid);

  // A big model through the public operation, best of three.
  std::vector<float> big = grid_vectors(500000, noise);
  const uint32_t big_n = static_cast<uint32_t>(big.size() / 3 - 1);
  double best = 1e9;
  uint32_t kept = 0;
  for (int run = 0; run < 3; run++) {
    Model model = {};
    model.vertexcount = big_n;
    model.vertices = static_cast<float*>(malloc(big.size() * sizeof(float)));
    memcpy(model.vertices, big.data(), big.size() * sizeof(float));
    start = std::chrono::steady_clock::now();
    glmWeldVertices(&model, epsilon);
    const double ms = milliseconds(start);
    if (ms < best) best = ms;
    kept = model.vertexcount;
    free(model.vertices);
  }
  printf("%u vertices: glmWeldVertices %.1f ms (best of 3), %u kept\n", big_n, best, kept);
  return same ? 0 : 1;
}
