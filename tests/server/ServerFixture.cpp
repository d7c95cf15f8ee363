#include "ServerFixture.h"

#include <unistd.h>

#include <chrono>

namespace vantori::server::test {

TDataParameter Msg(int type) {
  TDataParameter m;
  m.AddInteger("T", type);
  return m;
}

void ServerTest::StartServer(std::uint16_t port) {
  TServerOptions options;
  options.DataDir = FDir;
  options.Host = "127.0.0.1";
  options.BasePort = port;
  options.IdleTimeoutMs = 10000;
  options.Log = [this](const std::string& line) {
    std::lock_guard lock(FLogLock);
    FLog.push_back(line);
  };
  FServer = std::make_unique<TReferenceServer>(options);
  FServer->Start();
}

void ServerTest::SetUp() {
  static std::atomic<int> counter{0};
  FDir = std::filesystem::temp_directory_path() /
         ("vantori-server-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(FDir);
  // The server needs BasePort..BasePort+10; pick a random base in a high range and retry.
  std::mt19937 rng(std::random_device{}());
  std::uniform_int_distribution<int> pick(20000, 60000);
  for (int attempt = 0;; ++attempt) {
    const auto port = static_cast<std::uint16_t>(pick(rng));
    try {
      StartServer(port);
      FPort = FServer->BasePort();
      break;
    } catch (const std::exception&) {
      FServer.reset();
      if (attempt > 20) throw;
    }
  }
  FServer->Db().Run([&] { Seed(); });
}

void ServerTest::TearDown() {
  FServer.reset();
  std::filesystem::remove_all(FDir);
}

void ServerTest::Restart() {
  FServer->Stop();
  FServer.reset();
  StartServer(FPort);
}

void ServerTest::Seed() {
  TServerDb& db = FServer->Db();
  TMember ann;
  ann.UserID = "ann";
  ann.Name = "Ann";
  ann.Coins = 100;
  ann.Points = 50;
  ann.Adult = true;
  M.Ann = db.AddMember(ann, "ann-pass1");
  TMember ben;
  ben.UserID = "ben";
  ben.Name = "Ben";
  ben.Coins = 10;
  M.Ben = db.AddMember(ben, "ben-pass1");
  TMember kid;
  kid.UserID = "kid";
  kid.Name = "Kid";
  M.Kid = db.AddMember(kid, "kid-pass1");

  auto folder = [&](std::int32_t owner, std::int32_t parent, const char* name, const char* pub,
                    const char* pass = "") {
    TFolder f;
    f.UserSeq = owner;
    f.Parent = parent;
    f.Name = name;
    f.Pub = pub;
    f.Pass = pass;
    return db.AddFolder(f);
  };
  auto file = [&](std::int32_t owner, std::int32_t in, const char* name, std::int64_t size) {
    TFileEntry e;
    e.UserSeq = owner;
    e.UploaderSeq = owner;
    e.FolderSeq = in;
    e.Name = name;
    e.StoredSeq = db.AddStoredFile(size, size, owner);
    e.UpDate = NowDays();
    e.Expire = e.UpDate + 30;
    return db.AddFileEntry(e);
  };
  M.AnnFolder = folder(M.Ann, kTopSeq, "docs", "F");
  M.AnnFile = file(M.Ann, M.AnnFolder, "a.txt", 5 * 1024 * 1024);
  M.BenShared = folder(M.Ben, kTopSeq, "shared", "T");
  M.BenSharedFile = file(M.Ben, M.BenShared, "song.mp3", 4096);
  M.BenNested = folder(M.Ben, M.BenShared, "nested", "F");
  file(M.Ben, M.BenNested, "deep.txt", 10);
  M.BenPrivate = folder(M.Ben, kTopSeq, "private", "F");
  M.BenPrivateFile = file(M.Ben, M.BenPrivate, "diary.txt", 100);
  M.BenInner = folder(M.Ben, M.BenPrivate, "inner-shared", "T");
  M.BenAdult = folder(M.Ben, kTopSeq, "adult", "A");
  file(M.Ben, M.BenAdult, "movie.mkv", 1000);
  M.BenLocked = folder(M.Ben, kTopSeq, "locked", "T", "sesame");

  TFriend f;
  f.UserSeq = M.Ann;
  f.FriendUserSeq = M.Ben;
  f.Name = "Ben";
  db.AddFriend(f);
  f.UserSeq = M.Kid;
  db.AddFriend(f);
}

std::vector<std::vector<TDataParameter>> ServerTest::Converse(std::vector<TStep> steps) {
  std::vector<std::vector<TDataParameter>> answers(steps.size());
  if (steps.empty()) return answers;
  TClientSyncSock sock;
  sock.SetAddress("127.0.0.1");
  sock.SetPort(FPort);
  sock.SetReadTimeout(10000);
  std::size_t current = 0;
  sock.OnStartRead = [&](TClientSock& s) { s.Send(steps[0].Request); };
  sock.OnReceived = [&](TClientSock& s, const TDataParameter& message) {
    if (current >= steps.size()) return;
    answers[current].push_back(message);
    const TStep& step = steps[current];
    if (step.Last ? step.Last(message) : step.Ends.count(TypeOf(message)) > 0) {
      ++current;
      if (current < steps.size()) {
        s.Send(steps[current].Request);
      } else {
        s.Disconnect();
      }
    }
  };
  sock.Connect();
  return answers;
}

std::vector<TDataParameter> ServerTest::Ask(TDataParameter request, std::set<int> ends) {
  std::vector<TStep> steps;
  steps.push_back({std::move(request), std::move(ends)});
  return Converse(std::move(steps))[0];
}

TDataParameter ServerTest::LoginInfoRequest(std::int32_t seq, const std::string& id,
                                            const std::string& password) {
  TDataParameter m = Msg(76);
  m.AddInteger("UserSeq", seq);
  m.AddString("UserID", id);
  m.AddInteger("Serial", 12345);
  m.AddString("1", ScrambleText(PadRightBlanks("4242", 20) + PadRightBlanks(std::to_string(seq), 10) +
                                PadRightBlanks(id, 21) + PadRightBlanks(password, 21)));
  return m;
}

void ServerTest::OpenSession(std::int32_t seq, const std::string& id, const std::string& password) {
  auto replies = Ask(LoginInfoRequest(seq, id, password), {77});
  ASSERT_FALSE(replies.empty());
  ASSERT_TRUE(Ok(replies.back())) << CodeOf(replies.back());
}

}  // namespace vantori::server::test
