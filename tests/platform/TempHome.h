#pragma once
// A fresh VANTORI_HOME per test, removed afterwards.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/UAtomicFile.h"

namespace vantori::testing {

class TempHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantori-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    Home = tmpl;
    const char* old = std::getenv("VANTORI_HOME");
    HadOld = old != nullptr;
    if (HadOld) Old = old;
    ::setenv("VANTORI_HOME", Home.c_str(), 1);
  }
  void TearDown() override {
    if (HadOld)
      ::setenv("VANTORI_HOME", Old.c_str(), 1);
    else
      ::unsetenv("VANTORI_HOME");
    std::error_code ec;
    // Give back permissions a test took away, so that the folder can go.
    for (auto it = std::filesystem::recursive_directory_iterator(Home, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Home, ec);
  }

  std::string Home;

 private:
  bool HadOld = false;
  std::string Old;
};

// Restores the real rename when the test ends.
struct RenameHookGuard {
  ~RenameHookGuard() { SetRenameHookForTesting({}); }
};

// Makes every atomic replace fail as a full disk would, for the guard's lifetime.
inline RenameHookGuard FailRenames() {
  SetRenameHookForTesting([](const std::string&, const std::string&) {
    errno = ENOSPC;
    return -1;
  });
  return {};
}

}  // namespace vantori::testing
