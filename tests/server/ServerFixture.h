#pragma once
// A reference server started in-process on a free BasePort with a temporary data folder, a
// small set of members, and a client that runs scripted conversations through the client's own
// synchronous socket.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TReferenceServer.h"
#include "platform/TcpSocket.h"
#include "protocol/UClientSockCtrl.h"
#include "protocol/UFrame.h"
#include "settings/UFunction.h"

namespace vantori::server::test {

struct TMembers {
  std::int32_t Ann = 0;  // adult, coins and points
  std::int32_t Ben = 0;  // Ann's friend, shares folders
  std::int32_t Kid = 0;  // not adult, Ben's friend too
  std::int32_t BenShared = 0, BenNested = 0, BenPrivate = 0, BenAdult = 0, BenLocked = 0, BenInner = 0;
  std::int32_t BenSharedFile = 0, BenPrivateFile = 0;
  std::int32_t AnnFolder = 0, AnnFile = 0;
};

// One request and the reply types that end its answer.
struct TStep {
  TDataParameter Request;
  std::set<int> Ends;
  // When set, decides instead of Ends whether a message is the last of the answer.
  std::function<bool(const TDataParameter&)> Last = nullptr;
};

inline int TypeOf(const TDataParameter& m) {
  return m.Count() > 0 ? m.Params(0).AsInteger() : -1;
}
inline bool Ok(const TDataParameter& m) {
  return m.Count() > 1 && m.Params(1).AsBoolean();
}
inline int CodeOf(const TDataParameter& m) {
  const TParamDef* p = m.FindParam("Code");
  return p ? p->AsInteger() : 0;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Stops the server and starts a new one on the same data folder and port.
  void Restart();

  // Runs the steps on one connection; returns the messages received for each step. A step
  // whose answer never completes (the server closed) leaves the rest empty.
  std::vector<std::vector<TDataParameter>> Converse(std::vector<TStep> steps);
  // One request on a fresh connection; the replies up to one of `ends`.
  std::vector<TDataParameter> Ask(TDataParameter request, std::set<int> ends);
  TDataParameter AskOne(TDataParameter request, int end) {
    auto replies = Ask(std::move(request), {end});
    return replies.empty() ? TDataParameter() : replies.back();
  }

  // The login information request of `member`; opens its session from 127.0.0.1.
  TDataParameter LoginInfoRequest(std::int32_t seq, const std::string& id, const std::string& password);
  void OpenSession(std::int32_t seq, const std::string& id, const std::string& password);

  std::unique_ptr<TReferenceServer> FServer;
  std::filesystem::path FDir;
  std::uint16_t FPort = 0;
  TMembers M;
  std::vector<std::string> FLog;
  std::mutex FLogLock;

 private:
  void StartServer(std::uint16_t port);
  void Seed();
};

// Request builders.
TDataParameter Msg(int type);
inline std::string Scr(std::int64_t n) {
  return ScrambleText(std::to_string(n));
}

}  // namespace vantori::server::test
