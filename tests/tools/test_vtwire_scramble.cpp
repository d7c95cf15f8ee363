// vtwire scramble / unscramble and the scrambler's constant.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "protocol/ProtocolConstants.h"
#include "settings/UFunction.h"

namespace {

struct TRun {
  int rc;
  std::string out;
};

TRun RunTool(const std::string& args, const std::string& input) {
  static int n = 0;
  const std::string base =
      ::testing::TempDir() + "vtscr_" + std::to_string(::getpid()) + "_" + std::to_string(n++);
  std::ofstream(base + ".in", std::ios::binary) << input;
  const std::string cmd =
      std::string("'") + VTWIRE_PATH + "' " + args + " < '" + base + ".in' > '" + base + ".out' 2> /dev/null";
  const int status = std::system(cmd.c_str());
  std::ifstream f(base + ".out", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  std::remove((base + ".in").c_str());
  std::remove((base + ".out").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ss.str()};
}

TEST(VtwireScramble, AgreesWithTheLibrary) {
  const std::string text = "\xB1\xBC\xB8\xB2 user01";
  const TRun scrambled = RunTool("scramble --raw", text);
  ASSERT_EQ(scrambled.rc, 0);
  EXPECT_EQ(vantori::UnscrambleText(scrambled.out), text);
  EXPECT_EQ(RunTool("unscramble", vantori::ScrambleText(text)).out, text);
  // Hex both ways, and a line end typed after the text is not part of it.
  const TRun hex = RunTool("scramble --hex", "abc\n");
  ASSERT_EQ(hex.rc, 0);
  EXPECT_EQ(RunTool("unscramble --hex --to-hex", hex.out).out, "616263\n");
  EXPECT_EQ(RunTool("unscramble --hex", "0102").rc, 1);
  EXPECT_EQ(RunTool("unscramble --hex", "zz").rc, 1);
  const auto constants = nlohmann::json::parse(RunTool("constants", "").out);
  EXPECT_EQ(constants.at("scramble_count_offset").get<std::uint32_t>(), vantori::proto::kScrambleCountOffset);
}

}  // namespace
