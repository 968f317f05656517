// The objtool binary run on small OBJ files: its output, files and exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/process.h"

static RunResult objtool(std::vector<std::string> args) {
  args.insert(args.begin(), OBJTOOL_PATH);
  return runProgram(args);
}

static std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  return found;
}

// The three numbers on the first line of text that starts with label.
static std::vector<float> row(const std::string& text, const std::string& label) {
  std::vector<float> xyz(3);
  const std::vector<std::string> lines = lines_starting(text, label);
  if (lines.empty() ||
      sscanf(lines[0].c_str() + label.size(), "%f %f %f", &xyz[0], &xyz[1], &xyz[2]) != 3)
    xyz.clear();
  return xyz;
}

// Three triangles in two groups, with a material each; a quote in a name.
static std::string two_groups() {
  writeFile("two.mtl", "newmtl wood\nKd 0.5 0.3 0.1\nnewmtl red\nKd 1 0 0\n");
  return writeFile("two.obj",
                   "mtllib two.mtl\n"
                   "v -1 -0.5 0\nv 3 -0.5 0\nv 3 1.5 0\nv -1 1.5 4\n"
                   "g body\nusemtl wood\nf 1 2 3\nf 1 3 4\n"
                   "g li\"d\nusemtl red\nf 1 2 4\n");
}

// Converts in to out with the given options and returns what was written.
static std::string convert(const std::string& in, const std::vector<std::string>& options,
                           const std::string& out = testDir() + "/out.obj") {
  std::remove(out.c_str());  // so that a failed run cannot show an earlier output
  std::vector<std::string> args = {"convert", in, out};
  args.insert(args.end(), options.begin(), options.end());
  RunResult run = objtool(args);
  EXPECT_EQ(run.status, 0) << run.err;
  return readFile(out);
}

TEST(ObjtoolInfo, ReportsCountsGroupsBoxAndDimensions) {
  RunResult run = objtool({"info", two_groups()});
  ASSERT_EQ(run.status, 0) << run.err;
  // Each must be the first line starting with its own first word.
  for (const std::string line : {"vertices      4", "triangles     3", "normals       0",
                                 "groups        3", "materials     3", "mtllib        \"two.mtl\""})
    EXPECT_EQ(lines_starting(run.out, line.substr(0, line.find(' ') + 1)).at(0), line);

  const std::vector<std::string> groups = lines_starting(run.out, "group ");
  ASSERT_EQ(groups.size(), 3u) << run.out;
  const char* const patterns[] = {R"(group " li\\"d": +1 triangle, +material "red")",
                                  R"(group " body": +2 triangles, +material "wood")",
                                  R"(group "default":.*)"};
  for (int i = 0; i < 3; i++)
    EXPECT_TRUE(std::regex_match(groups[i], std::regex(patterns[i]))) << groups[i];
  EXPECT_EQ(row(run.out, "  min"), (std::vector<float>{-1, -0.5f, 0}));
  EXPECT_EQ(row(run.out, "  max"), (std::vector<float>{3, 1.5f, 4}));
  EXPECT_EQ(row(run.out, "dimensions"), (std::vector<float>{4, 2, 4}));
  run = objtool({"info", writeFile("empty.obj", "# nothing\n")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("no vertices"), std::string::npos) << run.out;
  EXPECT_EQ(lines_starting(run.out, "mtllib ").at(0), "mtllib        none");
  EXPECT_EQ(row(run.out, "dimensions"), (std::vector<float>{0, 0, 0}));
}

TEST(ObjtoolConvert, EachOptionShowsInTheOutput) {
  const std::string two = two_groups();
  const std::string split = writeFile(  // two triangles, each with its own corners
      "split.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 4 5 6\n");
  const struct {
    std::string in;
    std::vector<std::string> options;
    const char *prefix, *pattern;  // each line that starts with prefix matches pattern
    size_t lines;
  } cases[] = {
      {two, {"--smooth", "90", "--mode", "smooth"}, "f ", R"(f( \d+//\d+){3}\s*)", 3},
      {two, {"--smooth", "90", "--mode", "smooth"}, "vn ", R"(vn( \S+){3}\s*)", 4},
      {two, {"--planar-uvs", "--mode", "texture"}, "f ", R"(f( \d+/\d+){3}\s*)", 3},
      {two, {"--planar-uvs", "--mode", "texture"}, "vt ", R"(vt( \S+){2}\s*)", 4},
      {split, {"--weld", "0.001"}, "v ", R"(v( \S+){3}\s*)", 4},
      // Fitted into the unit cube: x from -1 to 3 and z from 0 to 4 fill it.
      {two, {"--fit"}, "v ", R"(v -?1\.000000 -?0\.500000 -?1\.000000\s*)", 4},
      {two, {"--mode", "material"}, "mtllib ", R"(mtllib two\.mtl\s*)", 1},
      {two, {"--mode", "material"}, "usemtl wood", R"(usemtl wood\s*)", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    const std::vector<std::string> lines = lines_starting(convert(c.in, c.options), c.prefix);
    EXPECT_EQ(lines.size(), c.lines);
    for (const std::string& line : lines)
      EXPECT_TRUE(std::regex_match(line, std::regex(c.pattern))) << line;
  }
}

// By default each face is written in its own form, lists no face uses left out.
TEST(ObjtoolConvert, ByDefaultEachFaceIsWrittenInItsOwnForm) {
  for (const std::string faces :
       {"f 1 2 3\n", "f 1/1 2/1 3/1\nf 1//1 2//1 3//1\nf 1 2 3\nf 1/1/1 2/1/1 3/1/1\n"}) {
    const std::string in = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n" + faces;
    const std::string text = convert(writeFile("mixed_in.obj", in), {});
    std::string written;
    for (const std::string& line : lines_starting(text, "f ")) written += line + "\n";
    EXPECT_EQ(written, faces);
    EXPECT_EQ(lines_starting(text, "vt ").size(), faces.find('/') == std::string::npos ? 0u : 1u);
  }
}

TEST(ObjtoolArguments, HelpPrintsTheUsageAndBadArgumentsExitTwoWithIt) {
  for (const char* flag : {"--help", "-h"}) {
    RunResult run = objtool({flag});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, 15), "usage: objtool ");
  }
  const std::string in = two_groups(), out = testDir() + "/never.obj";
  std::vector<std::vector<std::string>> cases = {
      {}, {"frobnicate"}, {"info"}, {"info", in, in}, {"info", in, "--fit"}, {"convert", in}};
  // convert's options; '|' separates arguments.
  for (const char* options :
       {"extra.obj", "--bogus", "--scale", "--scale|2x", "--scale|nan", "--scale|inf", "--scale|",
        "--translate|1,2", "--translate|1,,2", "--smooth|-5", "--weld|-0.1", "--mode|smooth,shiny",
        "--planar-uvs|--sphere-uvs"}) {
    cases.push_back({"convert", in, out});
    std::string rest = options;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1))
      cases.back().push_back(rest.substr(0, bar));
    cases.back().push_back(rest);
  }
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    RunResult run = objtool(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("objtool: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("\nusage: objtool"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_NE(access(out.c_str(), F_OK), 0) << "a rejected convert wrote its output";
}

// Its own refusal, and the library's on a file it cannot read: status 1 and a message.
TEST(ObjtoolFiles, UnreadableInputOrSphereMapWithoutNormalsExitsOne) {
  RunResult run = objtool({"info", testDir() + "/absent.obj"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("glmReadOBJ() failed"), std::string::npos) << run.err;
  const std::string in = two_groups(), out = testDir() + "/sphere.obj";
  run = objtool({"convert", in, out, "--sphere-uvs"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "objtool: --sphere-uvs needs vertex normals; " + in + " has none, add --smooth\n");
  EXPECT_NE(access(out.c_str(), F_OK), 0);
}

// Memory running out for the text (a pipe's, read whole) is told as such.
TEST(ObjtoolFiles, NoMemoryForTheTextSaysSo) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  RunResult run = runProgram({"/bin/sh", "-c",
                              "ulimit -v 60000 && head -c 100000000 /dev/zero | exec '" +
                                  std::string(OBJTOOL_PATH) + "' info /dev/stdin"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "glmReadOBJ() failed: out of memory (reading \"/dev/stdin\").\n");
}

// Another program cuts the file to 1000 bytes at several points of its
// reading: objtool ends with a model or a message, never a signal, whether it
// reads on every core (chunks walked and counted at once) or pinned to one.
TEST(ObjtoolFiles, AFileCutShortWhileItIsReadGivesAModelOrAMessage) {
  std::string text;  // about 40 MB
  char line[64];
  for (int i = 1; i <= 800000; i++) {
    snprintf(line, sizeof line, "v %d.125 %d.5 -%d.25\n", i, i % 977, i % 31);
    text += line;
  }
  for (int i = 1; i + 2 <= 800000; i++) {
    snprintf(line, sizeof line, "f %d %d %d\n", i, i + 1, i + 2);
    text += line;
  }
  for (const std::string pin : {"", "taskset -c 0 "})
    for (const char* delay : {"0.005", "0.015", "0.03", "0.05", "0.08"}) {
      SCOPED_TRACE(pin + delay);
      const std::string path = writeFile("cut.obj", text);
      // The shell's status is objtool's, or 128 and the signal that ended it.
      RunResult run = runProgram({"/bin/sh", "-c",
                                  pin + "'" + std::string(OBJTOOL_PATH) + "' info '" + path +
                                      "' >/dev/null 2>&1 & sleep " + delay +
                                      "; truncate -s 1000 '" + path + "'; wait $!"});
      EXPECT_GE(run.status, 0);
      EXPECT_LE(run.status, 1);
    }
}
