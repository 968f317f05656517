// The reader's fast and chunked paths give exactly what the careful reader
// gives, on random OBJ-like text well formed and not.
#include <cstring>
#include <random>

#include "glm/glm_internal.h"
#include "test_util.h"

namespace {

// A plain number has at most 8 digits, as the fast paths take them.
std::string random_number(std::mt19937& rng, bool plain = false) {
  static const char* const odd[] = {"1e",  "-.5",  "+2",    "1.5e3",        "7.",         "-",
                                    "nan", "0x10", "3e-2x", "123456789.25", "0.000000001"};
  if (!plain && rng() % 12 == 0) return odd[rng() % 11];
  char text[32];
  snprintf(text, sizeof text, "%.*f", static_cast<int>(rng() % (plain ? 6 : 7)),
           (static_cast<int>(rng() % 200000) - 100000) / 997.0);
  return text;
}

// Faces of every corner form, relative indices and (if bad) some past the end, odd blanks
// and line ends; vertex lines short, cut or alike with a stray non-digit; groups, materials.
std::string random_obj(std::mt19937& rng, int count) {
  const bool bad = rng() % 3 == 0;
  const auto n = [&] { return random_number(rng); };
  const auto index = [&] {
    int r = static_cast<int>(rng() % 4000);
    if (r < 100) return std::to_string(-static_cast<int>(rng() % count) - 1);
    if (bad && r < 103) return std::to_string(count + 1 + static_cast<int>(rng() % 3));
    return std::to_string(1 + rng() % count);
  };
  std::string text;
  for (int i = 0; i < count; i++)
    text += "v " + n() + " " + n() + " " + n() + "\nvt " + n() + " " + n() + "\nvn " + n() + " " +
            n() + " " + n() + "\n";
  const char* const blanks[] = {" ", "  ", "\t", " \r"};
  const char* const ends[] = {"\n", "\r\n", " \n", "\n\n", " # note\n", "\n+", "\n-x\n"};
  for (int line = 0; line < 200; line++) {
    const int kind = static_cast<int>(rng() % 10), form = static_cast<int>(rng() % 4);
    if (kind < 6) {
      // An unreadable first corner takes the values of the corner read before.
      text += rng() % 60 ? "f" : "f x";
      for (int c = rng() % 40 ? 1 + static_cast<int>(rng() % 12) : 0; c > 0; c--) {
        const int f = rng() % 15 ? form : static_cast<int>(rng() % 4);
        text += std::string(blanks[rng() % 4]) + (rng() % 25 ? "" : "\n") + index();
        if (f == 1 || f == 2) text += "/" + index();
        if (f >= 2) text += (f == 3 ? "//" : "/") + index();
      }
      text += ends[rng() % 7];
    } else if (kind == 6 && rng() % 2) {
      text += "v " + n() + (rng() % 3 ? " " + n() : "") + "\n" + (rng() % 3 ? n() + "\n" : "");
    } else if (kind == 6) {
      std::string line = "v " + n() + " " + n() + " " + n() + "\n";
      for (int copy = 0; copy < 3; copy++, text += line)
        for (char& c : line)
          if (c >= '0' && c <= '9')
            c = rng() % 20 ? static_cast<char>('0' + rng() % 10) : "ex+-./"[rng() % 6];
    } else if (kind < 9) {
      text += kind == 7 ? "g group" + std::to_string(rng() % 4) + ends[rng() % 3]
                        : "usemtl m" + std::to_string(rng() % 3) + "\n";
    } else {
      text += rng() % 400 ? "s 1\n# " + std::string(rng() % 90, 'c') + "\n"
              : rng() % 2 ? "vp 1\n"
                          : "mtllib none.mtl\n";
    }
  }
  return text;
}

struct Outcome {
  ModelPtr model;
  GlmFailure failure;
  std::string output;
};

// An exact-size copy, so that the address sanitizer sees reads past the end.
Outcome read_text(const std::string& text, const GlmReadOptions& options) {
  std::unique_ptr<char[]> exact(new char[text.size()]);
  memcpy(exact.get(), text.data(), text.size());
  Outcome o;
  Model* model = nullptr;
  o.output = stdout_of(
      [&] { o.failure = glmReadOBJText("random.obj", exact.get(), text.size(), &model, options); });
  o.model.reset(model);
  return o;
}

void expect_same_model(const Model* a, const Model* b) {
  ASSERT_EQ(a->vertexcount, b->vertexcount);
  ASSERT_EQ(a->normalcount, b->normalcount);
  ASSERT_EQ(a->uvcount, b->uvcount);
  ASSERT_EQ(a->facecount, b->facecount);
  ASSERT_EQ(a->groupcount, b->groupcount);
  const auto same = [](const void* x, const void* y, size_t bytes) {
    return bytes == 0 || (!x && !y) || (x && y && memcmp(x, y, bytes) == 0);
  };
  EXPECT_TRUE(same(a->vertices, b->vertices, 12 * (a->vertexcount + 1)));
  EXPECT_TRUE(same(a->normals, b->normals, 12 * (a->normalcount + 1)));
  EXPECT_TRUE(same(a->uvs, b->uvs, 8 * (a->uvcount + 1)));
  EXPECT_TRUE(same(a->faces, b->faces, a->facecount * sizeof(ModelFace)));
  for (ModelGroup *g = a->grouplist, *h = b->grouplist; g && h; g = g->next, h = h->next) {
    EXPECT_STREQ(g->name, h->name);
    ASSERT_EQ(g->facecount, h->facecount);
    EXPECT_EQ(g->mtlindex, h->mtlindex);
    EXPECT_TRUE(same(g->faceindices, h->faceindices, g->facecount * sizeof(uint32_t)));
  }
}

}  // namespace

// Fast paths in either instruction set, and chunks of a few bytes on several threads.
TEST(ObjPaths, FastChunkedAndExactReadersAgreeOnRandomText) {
  std::mt19937 rng(20261206);
  int read = 0, failed = 0;
  for (int round = 0; round < 300; round++) {
    std::string text = random_obj(rng, 3 + static_cast<int>(rng() % 30));
    GlmReadOptions exact_way, plain, chunked;
    exact_way.fast_paths = false;
    plain.avx2 = false;
    chunked.chunk_bytes = size_t(1) << (rng() % 8);
    chunked.threads = 1 + rng() % 3;
    chunked.avx2 = rng() % 2;
    Outcome exact = read_text(text, exact_way);
    (exact.model ? read : failed)++;
    for (const GlmReadOptions& options : {GlmReadOptions(), plain, chunked}) {
      Outcome o = read_text(text, options);
      SCOPED_TRACE("round " + std::to_string(round) + ", chunks of " +
                   std::to_string(options.chunk_bytes));
      EXPECT_EQ(o.failure.message, exact.failure.message);
      EXPECT_EQ(o.output, exact.output);
      ASSERT_EQ(o.model == nullptr, exact.model == nullptr);
      if (o.model) expect_same_model(o.model.get(), exact.model.get());
    }
  }
  EXPECT_GT(read, 100);
  EXPECT_GT(failed, 20);
}

// Plain, well-formed lines of every kind never fall back to the careful reader.
TEST(ObjPaths, PlainLinesTakeTheFastPaths) {
  std::mt19937 rng(5);
  const auto n = [&] { return random_number(rng, true); };
  const auto i = [&] { return std::to_string(1 + rng() % 40); };
  std::string text;
  for (int k = 0; k < 40; k++)
    text += "v " + n() + " " + n() + " " + n() + "\nvt " + n() + " " + n() + "\r\nvn " + n() +
            "\t" + n() + " " + n() + "\n";
  for (int line = 0; line < 80; line++) {
    text += "f";
    for (int c = 0; c < 3 + line % 11; c++) {
      const std::string t = "/" + i(), n = "/" + i();
      text += (c % 2 ? "\t" : " ") + i() +
              (line % 4 == 1   ? t
               : line % 4 == 2 ? t + n
               : line % 4 == 3 ? "/" + n
                               : "");
    }
    text += line % 3 ? "\n" : " \r\n";
  }
  text += "# " + std::string(200, '-') + "\n";
  for (bool avx2 : {false, true}) {
    GlmReadOptions options;
    size_t exact = 1;
    options.avx2 = avx2;
    options.exact_statements = &exact;
    EXPECT_TRUE(read_text(text, options).model);
    EXPECT_EQ(exact, 0u) << avx2;
  }
}
