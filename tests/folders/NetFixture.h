#pragma once
// A reference server on a free port, a configuration pointing at it, a fake tick and a
// queue dispatcher playing the user-interface thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TReferenceServer.h"
#include "protocol/UDispatcher.h"
#include "settings/UClientConfig.h"

namespace vantori::test {

// Sets an environment variable for one test and puts the old value back afterwards.
class TEnvGuard {
 public:
  TEnvGuard(const char* name, const std::string& value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old, FHad = true;
    setenv(name, value.c_str(), 1);
  }
  ~TEnvGuard() {
    if (FHad)
      setenv(FName, FOld.c_str(), 1);
    else
      unsetenv(FName);
  }

 private:
  const char* FName;
  std::string FOld;
  bool FHad = false;
};

class NetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    FDir = std::filesystem::temp_directory_path() /
           ("vantori-h6-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(FDir);
    std::filesystem::create_directories(FDir);
    FHome = std::make_unique<TEnvGuard>("VANTORI_HOME", (FDir / "home").string());
    FPortEnv = std::make_unique<TEnvGuard>("VANTORI_BASE_PORT", "");
    if (!FWantServer) {
      FConfig = MakeConfig(0);
      return;
    }
    server::TServerOptions options;
    options.DataDir = FDir / "server";
    options.Host = "127.0.0.1";
    options.BasePort = 0;
    options.Demo = true;
    options.StorageServers = false;
    options.Log = [](const std::string&) {};
    FServer = std::make_unique<server::TReferenceServer>(options);
    FServer->Start();
    FPort = FServer->BasePort();
    FConfig = MakeConfig(FPort);
  }

  void TearDown() override {
    FConfig.reset();
    FServer.reset();
    std::filesystem::remove_all(FDir);
    FPortEnv.reset();
    FHome.reset();
  }

  // A configuration whose BasePort is port; login server "localhost", main "127.0.0.1".
  std::unique_ptr<TClientConfig> MakeConfig(std::uint16_t port) {
    setenv("VANTORI_BASE_PORT", std::to_string(port).c_str(), 1);
    TClientConfig::TOptions o;
    o.ConfigRoot = (FDir / "home" / "config").string();
    o.DataRoot = (FDir / "home" / "data").string();
    auto config = std::make_unique<TClientConfig>(nullptr, o);
    config->SetLoginServerAddress("localhost");
    config->SetMainServerAddress("127.0.0.1");
    return config;
  }

  std::uint32_t Tick() const { return FTick.load(); }
  void Advance(std::uint32_t ms) { FTick += ms; }

  // Pumps the dispatcher until pred holds or five seconds passed.
  template <class P>
  bool PumpUntil(P pred) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      FUi.PumpFor(std::chrono::milliseconds(10));
    }
    return true;
  }

  std::unique_ptr<TEnvGuard> FHome, FPortEnv;
  bool FWantServer = true;  // set before SetUp runs to go without the server
  std::filesystem::path FDir;
  std::unique_ptr<server::TReferenceServer> FServer;
  std::uint16_t FPort = 0;
  std::unique_ptr<TClientConfig> FConfig;
  std::atomic<std::uint32_t> FTick{1000000};
  TQueueDispatcher FUi;
};

}  // namespace vantori::test
