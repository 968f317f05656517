// OBJ and MTL reading: the dialect and its quirks, numbers as the C library reads them,
// bad input, where the material library is looked for, and the fast and chunked paths
// giving exactly what the careful reader gives, on random text well formed and not.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "glm/glm_internal.h"
#include "glm/text_scan.h"
#include "test_util.h"

static const std::string kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 1.5 0\n";
static const std::string kLists =
    kSquare + "vt 0 0\nvt 0 0\nvt 0 0\nvt 0 0\nvt 0 0\nvt 0 0\n" +
    "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n";

static std::vector<std::string> group_names(const Model* model) {
  std::vector<std::string> names;
  for (ModelGroup* g = model->grouplist; g; g = g->next) names.push_back(g->name);
  return names;
}

// Each row read as it is (the careful way near the file end) and padded (the quick way).
TEST(ObjFaces, CornersAreReadAsTheDialectSays) {
  const std::string forms =
      kLists + "f 1/4/7 2/5/8 3/6/9\nf 1//7 2//8 3//9\nf 1/4 2/5 3/6\nf 1 2 3\n";
  const std::string fans = kSquare + "f 1 2 3 4\nf 1 2 3 4 5\n", few = kSquare + "f 4 2\nf 3\n";
  const std::string back = kSquare + "vt 0 0\nvn 0 0 1\nf -3/-1/-1 -2/-1/-1 -1/-1/-1\n";
  const struct {
    std::string obj;
    uint32_t faces, face;
    Corners v, t, n;
  } cases[] = {
      {fans, 5, 1, {1, 3, 4}, {}, {}},  // polygons fan around their first corner
      {fans, 5, 4, {1, 4, 5}, {}, {}},
      {forms, 4, 0, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}},  // each form stores what it carries
      {forms, 4, 1, {1, 2, 3}, {}, {7, 8, 9}},
      {forms, 4, 2, {1, 2, 3}, {4, 5, 6}, {}},
      {forms, 4, 3, {1, 2, 3}, {}, {}},
      // "2" and "3" read with "%d/%d/%d" keep the first corner's t and n.
      {kLists + "f 1/2/1 2 3\n", 1, 0, {1, 2, 3}, {2, 2, 2}, {1, 1, 1}},
      {kSquare + "f 1 2\n3 4\n5\ng next\nf 1 2 3\n", 4, 2, {1, 4, 5}, {}, {}},
      {kLists + "f 1/1/1 \t\v\f 2/1/1\r 3/1/1 \t\n", 1, 0, {1, 2, 3}, {1, 1, 1}, {1, 1, 1}},
      {few, 2, 0, {4, 2, 2}, {}, {}},  // fewer corners still make a triangle
      {few, 2, 1, {3, 3, 3}, {}, {}},
      {back, 1, 0, {3, 4, 5}, {1, 1, 1}, {1, 1, 1}},  // relative indices
      {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\nv 0 1 0\nf -4 -2 -1\n", 2, 1, {1, 3, 4}, {}, {}},
  };
  for (const auto& c : cases) {
    for (const std::string& tail : {std::string(), "# " + std::string(200, '-') + "\n"}) {
      SCOPED_TRACE(c.obj + tail);
      ModelPtr m = read_obj(c.obj + tail);
      ASSERT_EQ(m->facecount, c.faces);
      EXPECT_EQ(corners(m->faces[c.face].vertexidx), c.v);
      EXPECT_EQ(corners(m->faces[c.face].uvidx), c.t);
      EXPECT_EQ(corners(m->faces[c.face].normalidx), c.n);
    }
  }
}

TEST(ObjVertices, ExtraNumbersAreIgnored) {
  ModelPtr m = read_obj("v 1.5 -2 3e2 7\nvt 0.25 0.75 0\nvn 0 -1 0\nv 4 5 6\n");
  ASSERT_EQ(m->vertexcount, 2u);
  ASSERT_EQ(m->uvcount, 1u);
  EXPECT_TRUE(TripleNear(m->vertices, 2, 4.0f, 5.0f, 6.0f));
  EXPECT_EQ(m->uvs[3], 0.75f);
  EXPECT_TRUE(TripleNear(m->normals, 1, 0.0f, -1.0f, 0.0f));
}

// A word ends at a NUL byte, as a C string does: "v" and one is a vertex.
TEST(ObjVertices, ANulByteEndsTheWord) {
  const char text[] = "v\0 1 2 3\nv\0n 4 5 6\nvn\0x 0 0 1\n";
  ModelPtr m = read_obj(std::string(text, sizeof text - 1));
  ASSERT_EQ(m->vertexcount, 2u);
  EXPECT_TRUE(TripleNear(m->vertices, 2, 4.0f, 5.0f, 6.0f));
  EXPECT_EQ(m->normalcount, 1u);
}

// Files of more than 4 GB can have more lines than 32 bits count.
TEST(ObjLines, NumbersGoOnPastFourBillion) {
  const char text[] = "f 1\nf 2\nf 3\n";
  EXPECT_EQ(glm_scan::line_number(text, text + 8, uint64_t(1) << 32), (uint64_t(1) << 32) + 2);
}

TEST(ObjGroups, NamesKeepTheBlankAfterGAndFacesBeforeAnyGroupStayInDefault) {
  ModelPtr m =
      read_obj(kSquare + "f 1 2 3 4\r\ng key\r\nf 1 2 3\ng a b\nf 1 2 3\ng key\nf 1 3 4\n");
  EXPECT_EQ(group_names(m.get()), (std::vector<std::string>{" a b", " key", "default"}));
  EXPECT_EQ(glmLookupGroup(m.get(), "default")->facecount, 2u);
  ModelGroup* key = glmLookupGroup(m.get(), " key");
  EXPECT_EQ(std::vector<uint32_t>(key->faceindices, key->faceindices + key->facecount),
            (std::vector<uint32_t>{2, 4}));
  // The last line, without a line end, loses its last character.
  EXPECT_EQ(group_names(read_obj("v 0 0 0\ng key").get()),
            (std::vector<std::string>{" ke", "default"}));
  // Long names and words are read whole.
  std::string name(300, 'n'), library(200, 'l');
  m = read_obj(
      "v 0 0 0\ng " + name + "\nmtllib " + library + ".mtl\nusemtl " + name + "\nf 1 1 1\n",
      "newmtl " + name + "\nKd 0 0 1\n", library + ".mtl");
  EXPECT_EQ(m->mtlfile, library + ".mtl");
  ASSERT_EQ(m->mtlcount, 2u);
  EXPECT_EQ(m->mtltable[1].name, name);
  EXPECT_EQ(glmLookupGroup(m.get(), (" " + name).c_str())->mtlindex, 1u);
}

static const char kTwoColours[] = "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n";

// Earlier faces too; a group named again keeps the last, and usemtl before mtllib works.
TEST(ObjMaterials, UsemtlBindsToTheCurrentGroup) {
  for (const char* text :
       {"mtllib m.mtl\nf 1 2 3\nusemtl blue\ng A\nusemtl red\nf 1 2 3\ng B\nf 1 3 4\n",
        "usemtl blue\nmtllib m.mtl\ng A\nf 1 2 3\ng B\nusemtl red\ng A\nf 1 3 4\n"}) {
    SCOPED_TRACE(text);
    ModelPtr m = read_obj(kSquare + text, kTwoColours);
    EXPECT_EQ(glmLookupGroup(m.get(), "default")->mtlindex, 2u);
    EXPECT_EQ(glmLookupGroup(m.get(), " A")->mtlindex, 1u);
    EXPECT_EQ(glmLookupGroup(m.get(), " B")->mtlindex, 1u);
  }
  ModelPtr m;
  EXPECT_EQ(stdout_of([&] { m = read_obj(kSquare + "usemtl wood\ng x\nusemtl wood\nf 1 2 3\n"); }),
            "glmFindMaterial():  can't find material \"wood\".\n"
            "glmFindMaterial():  can't find material \"wood\".\n");
  EXPECT_EQ(glmLookupGroup(m.get(), " x")->mtlindex, 0u);
}

// Status 1 and the message, on the stream it names (the other dropped in the child).
TEST(ObjFailuresDeathTest, EachBadFileEndsWithItsMessage) {
  const std::string dir = testDir() + "/", at = "^glmReadOBJ\\(\\) failed: ";
  const struct {
    std::string name;
    const char* text;  // null: not written
    std::string message;
    bool on_stdout = false;
  } cases[] = {
      {"absent.obj", nullptr, at + "can't open data file \"" + dir + "absent.obj\".\n$"},
      {"", nullptr, at + "can't open data file \"" + dir + "\".\n$"},  // a directory
      {"lib.obj", "mtllib a b\nv 0 0 0\n",
       "^glmReadMTL\\(\\) failed: can't open material file \"" + dir + "b\".\n$"},
      {"vp.obj", "v 0 0 0\nvp 1 2\n", "^glmFirstPass\\(\\): Unknown token \"vp\".\n$", true},
      {"zero.obj", "v 0 0 0\nv 1 0 0\n\nf 1 2 0\n",
       at + "\"" + dir +
           "zero.obj\" line 4: vertex index 0 is out of range \\(the file has 2 vertices\\).\n$"},
      {"past.obj", "v 0 0 0\nvt 0 0\nf 1/1 1/2\n1/1\n",
       "line 3: texture coordinate index 2 is out of range \\(the file has 1 texture "
       "coordinate\\)"},
      {"one.obj", "v 0 0 0\nf 1 1 2\n", "index 2 is out of range \\(the file has 1 vertex\\)"},
      {"back.obj", "v 0 0 0\nf 1 1\n-2\nv 1 1 1\n",
       "line 3: vertex index -2 is out of range \\(vertices read before it: 1\\)"},
      {"none.obj", "v 0 0 0\nf 1//1 1//1 1//1\n",
       "line 2: normal index 1 is out of range \\(the file has no normals\\)"},
      // A first corner that is no number keeps the values before it: none yet.
      {"word.obj", "v 0 0 0\nf x 1 1\nf 1 1 1\n", "line 2: vertex index 0 is out of range"},
      {"huge.obj", "v 0 0 0\nf 1 1 4294967297\n", "vertex index 4294967297 is out"},
      {"vast.obj", "v 0 0 0\nf 1 1 -000123456789012345678901\n",
       "vertex index -000123456789012345678901 is out of range"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.text ? writeFile(c.name, c.text) : dir + c.name;
    EXPECT_EXIT(
        {
          if (c.on_stdout) {  // stdout to where the test reads, stderr dropped
            int err = dup(2);
            dup2(open("/dev/null", O_WRONLY), 2);
            dup2(err, 1);
          }
          glmReadOBJ(path.c_str());
        },
        testing::ExitedWithCode(1), c.message);
  }
}

// A program with no console gets the message, printed already, to show.
TEST(ObjFailuresDeathTest, FatalHandlerGetsTheMessageBeforeTheEnd) {
  const std::string path = testDir() + "/absent.obj";
  const std::string message = "glmReadOBJ\\(\\) failed: can't open data file \"" + path + "\".\n";
  EXPECT_EXIT(
      {
        glmSetFatalHandler([](const char* text) { fprintf(stderr, "shown: %s", text); });
        glmReadOBJ(path.c_str());
      },
      testing::ExitedWithCode(1), "^" + message + "shown: " + message + "$");
}

// Random decimals, hexadecimal, nan and inf spellings, long digit strings and dangling
// marks, signed and with junk after: read in v and vt bit for bit as "%f" does.
TEST(ObjVertices, NumbersReadAsScanfReadsThem) {
  std::mt19937 rng(7);
  std::vector<std::string> bodies, spellings;
  for (int i = 0; i < 6000; i++) {
    std::string digits = std::to_string(rng() % 1000000000u);
    digits.resize(1 + rng() % digits.size());
    size_t point = rng() % (digits.size() + 1);
    std::string text =
        (rng() % 2 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
    if (text == "." || text == "-.") text += "5";
    if (rng() % 10 == 0) text += "e" + std::to_string(static_cast<int>(rng() % 20) - 10);
    spellings.push_back(text);
  }
  for (const char* mantissa : {"0x1.8", "0X1", "0x.8", "0x", "0x.", "0xAbC.dEf", "0x1.000003",
                               "0x1.0000011", "0x1fffffe", "0xffffff.ffffffffff", "0x0", "0xg"})
    for (const char* exponent :
         {"", "p1", "P-2", "p+", "p", "p-149", "p-150", "p127", "p128", "p-99999999999"})
      bodies.push_back(std::string(mantissa) + exponent);
  for (const char* word :
       {"nan", "NaN",      "nAn(1)", "nan(",    "nan()",    "nan(0x12)", "na",    "n",  "inf",
        "INF", "Infinity", "infin",  "infinit", "iNfInItY", "in",        "i",     "1e", "1e+",
        "1E-", "0e",       ".",      ".e1",     "1.2.3",    "1e5e5",     "0x1p1e"})
    bodies.push_back(word);
  const std::string ones(60, '1'), zeros(50, '0');
  for (const std::string& digits : std::vector<std::string>{
           ones, "0." + zeros + "1401298464324817", ones + "." + ones, "1" + zeros + "e-50",
           "3.40282356779733661637539395458142568448e38", "0x" + ones + "p-300"})
    bodies.push_back(digits);
  const char* const signs[] = {"", "-", "+"};
  const char* const tails[] = {"", "x", "e", "p3", "(1)", ".5", "+", "i", "e-"};
  for (size_t i = 0; i < bodies.size(); i++) {
    spellings.push_back(bodies[i]);
    spellings.push_back(signs[i % 3] + bodies[i] + tails[(i / 3) % 9]);
  }
  std::string obj;
  for (const std::string& s : spellings) obj += "v " + s + " 2 3\nvt " + s + " 2\n";
  // Just above half the smallest float: rounded up, where glibc 2.36 rounds down.
  obj += "v 0x1.000001p-150 2 3\n";
  ModelPtr m = read_obj(obj);
  ASSERT_EQ(m->vertexcount, spellings.size() + 1);
  EXPECT_EQ(m->vertices[3 * m->vertexcount], 0x1p-149f);
  for (size_t i = 0; i < spellings.size(); i++) {
    float xyz[3] = {0, 0, 0}, uv[2] = {0, 0};
    sscanf((spellings[i] + " 2 3").c_str(), "%f%f%f", &xyz[0], &xyz[1], &xyz[2]);
    sscanf((spellings[i] + " 2").c_str(), "%f%f", &uv[0], &uv[1]);
    EXPECT_EQ(memcmp(&m->vertices[3 * (i + 1)], xyz, sizeof xyz), 0) << "v " << spellings[i];
    EXPECT_EQ(memcmp(&m->uvs[2 * (i + 1)], uv, sizeof uv), 0) << "vt " << spellings[i];
  }
}

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
  EXPECT_EQ(std::vector<float>(p.kd, p.kd + 4), (std::vector<float>{0.8f, 0.8f, 0.8f, 1}));
  EXPECT_EQ(std::vector<float>(p.ka, p.ka + 4), (std::vector<float>{0.2f, 0.2f, 0.2f, 1}));
  EXPECT_EQ(std::vector<float>(p.ks, p.ks + 4), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(p.exponent, 65);
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
  EXPECT_EQ(std::vector<float>(d->kd, d->kd + 3), (std::vector<float>{0.1f, 0.2f, 0.3f}));
  EXPECT_EQ(std::vector<float>(a->kd, a->kd + 3), (std::vector<float>{1, 0.5f, 1}));
  EXPECT_EQ(std::vector<float>(a->ka, a->ka + 3), (std::vector<float>{0.25f, 0, 0}));
  EXPECT_EQ(std::vector<float>(a->ks, a->ks + 3), (std::vector<float>{0.5f, 0.5f, 0.7f}));
  EXPECT_EQ(std::vector<float>(b->kd, b->kd + 3), (std::vector<float>{0, 1, 0.8f}));
  EXPECT_EQ(b->exponent, 64);  // Ns 500 is 500 / 1000 * 128
  EXPECT_EQ(m->mtltable[3].exponent, 0);
  EXPECT_EQ(std::vector<float>(m->mtltable[5].kd, m->mtltable[5].kd + 3),
            (std::vector<float>{0.25f, 0.8f, 0.8f}));
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

// A plain number has at most 8 digits, as the fast paths take them.
static std::string random_number(std::mt19937& rng, bool plain = false) {
  static const char* const odd[] = {"1e",  "-.5",  "+2",    "1.5e3",        "7.",         "-",
                                    "nan", "0x10", "3e-2x", "123456789.25", "0.000000001"};
  if (!plain && rng() % 12 == 0) return odd[rng() % 11];
  char text[32];
  snprintf(text, sizeof text, "%.*f", static_cast<int>(rng() % (plain ? 6 : 7)),
           (static_cast<int>(rng() % 200000) - 100000) / 997.0);
  return text;
}

// Faces of every corner form, relative indices and (if bad) some past the end, odd blanks
// and line ends; vertex lines short, cut or alike with a stray non-digit; groups, materials
// and libraries found or not.
static std::string random_obj(std::mt19937& rng, int count) {
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
      std::string vertex = "v " + n() + " " + n() + " " + n() + "\n";
      for (int copy = 0; copy < 3; copy++, text += vertex)
        for (char& c : vertex)
          if (c >= '0' && c <= '9')
            c = rng() % 20 ? static_cast<char>('0' + rng() % 10) : "ex+-./"[rng() % 6];
    } else if (kind < 9) {
      text += kind == 7 ? "g group" + std::to_string(rng() % 4) + ends[rng() % 3]
                        : "usemtl m" + std::to_string(rng() % 3) + "\n";
    } else {
      text += rng() % 40       ? "s 1\n# " + std::string(rng() % 90, 'c') + "\n"
              : rng() % 4 == 0 ? "vp 1\n"
              : rng() % 2      ? "mtllib none.mtl\n"
                               : "mtllib random.mtl\n";
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
static Outcome read_text(const std::string& text, const GlmReadOptions& options) {
  std::unique_ptr<char[]> exact(new char[text.size()]);
  memcpy(exact.get(), text.data(), text.size());
  Outcome o;
  Model* model = nullptr;
  const std::string path = testDir() + "/random.obj";
  o.output = stdout_of(
      [&] { o.failure = glmReadOBJText(path.c_str(), exact.get(), text.size(), &model, options); });
  o.model.reset(model);
  return o;
}

// The same text in a file, read from there a chunk at a time.
static Outcome read_file(const std::string& text, const GlmReadOptions& options) {
  const std::string path = writeFile("random.obj", text);
  Outcome o;
  Model* model = nullptr;
  o.output = stdout_of([&] { o.failure = glmReadOBJFile(path.c_str(), &model, options); });
  o.model.reset(model);
  return o;
}

static void expect_same_model(const Model* a, const Model* b) {
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

// Fast paths in either instruction set, one pass or a count and a fill, and chunks of a
// few bytes on several threads (one walking from the front while the others count from
// the back, or all counting), of the text in memory and read from a file.
TEST(ObjPaths, FastChunkedAndExactReadersAgreeOnRandomText) {
  std::mt19937 rng(20261206);
  int read = 0, failed = 0;
  writeFile("random.mtl", "newmtl m0\nnewmtl m2\n");  // m1 is missing
  for (int round = 0; round < 300; round++) {
    std::string text = random_obj(rng, 3 + static_cast<int>(rng() % 30));
    GlmReadOptions exact_way, plain, counted, chunked;
    exact_way.fast_paths = false;
    plain.avx2 = false;
    counted.one_pass = false;
    counted.avx2 = rng() % 2;
    chunked.chunk_bytes = size_t(1) << (rng() % 8);
    chunked.threads = 1 + rng() % 3;
    chunked.avx2 = rng() % 2;
    chunked.one_pass = rng() % 2;
    Outcome exact = read_text(text, exact_way);
    (exact.model ? read : failed)++;
    const GlmReadOptions ways[] = {GlmReadOptions(), plain, counted, chunked, chunked};
    for (const GlmReadOptions& options : ways) {
      const bool from_file = &options == &ways[4];
      Outcome o = from_file ? read_file(text, options) : read_text(text, options);
      SCOPED_TRACE("round " + std::to_string(round) + ", chunks of " +
                   std::to_string(options.chunk_bytes) + (from_file ? " from a file" : ""));
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
      const std::string t = "/" + i(), vn = "/" + i();
      text += (c % 2 ? "\t" : " ") + i() +
              (line % 4 == 1   ? t
               : line % 4 == 2 ? t + vn
               : line % 4 == 3 ? "/" + vn
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
