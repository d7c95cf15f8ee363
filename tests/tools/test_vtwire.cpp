// Runs the built vtwire binary on stdin files and checks its output and exit status.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
  int rc;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

ToolRun Vtwire(const std::string& args, const std::string& input) {
  static int n = 0;
  const std::string base =
      ::testing::TempDir() + "vtwire_" + std::to_string(::getpid()) + "_" + std::to_string(n++);
  std::ofstream(base + ".in", std::ios::binary) << input;
  const std::string cmd = std::string("'") + VTWIRE_PATH + "' " + args + " < '" + base + ".in' > '" + base +
                          ".out' 2> '" + base + ".err'";
  const int status = std::system(cmd.c_str());
  ToolRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(base + ".out"), Slurp(base + ".err")};
  for (const char* ext : {".in", ".out", ".err"}) std::remove((base + ext).c_str());
  return r;
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

const std::string kWorkedExample =
    Bytes({0x03, 0x02, 0x00, 0x00, 0x00, 0x01, 0x0B, 0x01, 0x54, 0x0A, 0xAE, 0x04, 0x01,
           0x0B, 0x04, 0x55, 0x73, 0x65, 0x72, 0x01, 0x0B, 0x03, 0x61, 0x62, 0x63});

TEST(Vtwire, WorkedExampleRoundTrip) {
  const ToolRun enc = Vtwire("encode", R"({"params":[{"name":"T","type":"int","value":1198},)"
                                       R"({"name":"User","type":"String","value":"abc"}]})");
  ASSERT_EQ(enc.rc, 0) << enc.err;
  EXPECT_EQ(enc.out, kWorkedExample);

  const ToolRun dec = Vtwire("decode", enc.out);
  ASSERT_EQ(dec.rc, 0) << dec.err;
  const auto j = nlohmann::json::parse(dec.out);
  EXPECT_EQ(j, nlohmann::json::parse(R"({"params":[{"name":"T","type":"SmallInt","value":1198},)"
                                     R"({"name":"User","type":"String","value":"abc","hex":"616263"}]})"));

  // The decoded form encodes back to the same bytes.
  const ToolRun again = Vtwire("encode --frame", dec.out);
  ASSERT_EQ(again.rc, 0) << again.err;
  EXPECT_EQ(again.out, Bytes({25, 0, 0, 0}) + kWorkedExample);
}

TEST(Vtwire, StringsTravelAsCp949OrRawHex) {
  const ToolRun enc = Vtwire("encode", R"({"params":[{"name":"K","type":"String","value":"한글"},)"
                                       R"({"name":"S","type":"String","hex":"41ff0042"}]})");
  ASSERT_EQ(enc.rc, 0) << enc.err;
  EXPECT_NE(enc.out.find(Bytes({0x01, 0x0B, 0x04, 0xC7, 0xD1, 0xB1, 0xDB})), std::string::npos);
  EXPECT_NE(enc.out.find(Bytes({0x01, 0x0B, 0x04, 0x41, 0xFF, 0x00, 0x42})), std::string::npos);

  const ToolRun dec = Vtwire("decode", enc.out);
  ASSERT_EQ(dec.rc, 0) << dec.err;
  const auto p = nlohmann::json::parse(dec.out)["params"];
  EXPECT_EQ(p[0]["value"], "한글");
  EXPECT_EQ(p[0]["hex"], "C7D1B1DB");
  // Cut at the NUL; the remaining byte is no cp949 text, so only the hex is given.
  EXPECT_EQ(p[1]["hex"], "41FF");
  EXPECT_TRUE(p[1]["value"].is_null());
}

TEST(Vtwire, EncriptRoundTripArrivesAsPaddedPChar) {
  const ToolRun enc =
      Vtwire("encode --frame", R"({"params":[{"name":"T","type":"int","value":5},)"
                               R"({"type":"Encript","name":"D","hex":"A1B2C3","seed":4294967295}]})");
  ASSERT_EQ(enc.rc, 0) << enc.err;
  const ToolRun dec = Vtwire("decode --frame", enc.out + enc.out);
  ASSERT_EQ(dec.rc, 0) << dec.err;
  std::istringstream lines(dec.out);
  std::string line;
  int frames = 0;
  while (std::getline(lines, line)) {
    ++frames;
    const auto d = nlohmann::json::parse(line)["params"][1];
    EXPECT_EQ(d["name"], "D");
    EXPECT_EQ(d["type"], "PChar");
    EXPECT_EQ(d["hex"], "A1B2C3" + std::string(26, '0'));
  }
  EXPECT_EQ(frames, 2);
}

TEST(Vtwire, BadInputExitsNonZeroWithTheReason) {
  struct {
    const char* args;
    std::string input;
    const char* reason;
  } const cases[] = {
      {"decode", kWorkedExample.substr(0, 20),
       "parameter 1 (starting at offset 12): ParseString Unexpected end"},
      {"decode --frame", Bytes({30, 0, 0, 0}) + kWorkedExample, "frame of 30 bytes but only 25 follow"},
      {"encode", R"({"params":[{"name":"W","type":"Word","value":70000}]})", "params[0]: MakeWord"},
      {"encode", R"({"params":[{"name":"X","type":"Float","value":1}]})", "unknown type"},
      {"encode", "not json", "input is not JSON"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const ToolRun r = Vtwire(c.args, c.input);
    EXPECT_NE(r.rc, 0);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
}

TEST(Vtwire, ConstantsNameTheSeedOffset) {
  const ToolRun r = Vtwire("constants", "");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["seed_offset"], 0x5A17C3E9u);
}

}  // namespace
