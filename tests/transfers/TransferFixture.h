#pragma once
// A reference server (main and storage servers) on a free BasePort with a temporary data
// folder, members and stored files made directly in its database, and helpers that run the
// engines against it.

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TReferenceServer.h"
#include "transfers/UDownThread.h"
#include "transfers/UTransferSession.h"
#include "transfers/UUpThread.h"

namespace vantori::testing {

namespace fs = std::filesystem;

inline std::string Sha256Of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "missing";
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
  std::vector<char> buf(1 << 16);
  while (in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (in.gcount() > 0) EVP_DigestUpdate(ctx, buf.data(), static_cast<std::size_t>(in.gcount()));
  }
  unsigned char md[32];
  unsigned int n = 0;
  EVP_DigestFinal_ex(ctx, md, &n);
  EVP_MD_CTX_free(ctx);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < n; ++i) {
    out += hex[md[i] >> 4];
    out += hex[md[i] & 15];
  }
  return out;
}

// Deterministic content that differs from file to file.
inline std::vector<std::uint8_t> Content(std::int64_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  std::mt19937 gen(seed);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  return data;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Records what the engines report.
struct TRecorder : IDownCallbacks, IUpCallbacks {
  std::atomic<int> Cancels{0}, Completes{0}, MoneyUpdates{0};
  void OnNotifyCancel(TDownThread&) override { ++Cancels; }
  void OnNotifyComplete(TDownThread&) override { ++Completes; }
  void OnMoneyUpdated(TDownThread&) override { ++MoneyUpdates; }
  void OnNotifyCancel(TUpThread&) override { ++Cancels; }
  void OnNotifyComplete(TUpThread&) override { ++Completes; }
};

class TTransferServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() /
           ("vantori-transfers-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(Root / "data");
    fs::create_directories(Root / "down");
    fs::create_directories(Root / "up");
    std::mt19937 gen(std::random_device{}());
    for (int attempt = 0; attempt < 30; ++attempt) {
      server::TServerOptions options;
      options.DataDir = Root / "data";
      options.BasePort = static_cast<std::uint16_t>(20000 + gen() % 40000);
      options.Log = [](const std::string&) {};
      options.Storage.IdleTimeoutMs = 5000;
      auto s = std::make_unique<server::TReferenceServer>(options);
      try {
        s->Start();
        Server = std::move(s);
        break;
      } catch (const std::exception&) {
      }
    }
    ASSERT_TRUE(Server) << "no free BasePort";
    Server->Db().Run([&] {
      server::TMember me;
      me.UserID = "tester";
      me.Name = "tester";
      me.Coins = 1000;
      me.Unit = 10;
      Me = Server->Db().AddMember(me, "secret12");
      server::TMember friendly;
      friendly.UserID = "owner";
      friendly.Name = "owner";
      Owner = Server->Db().AddMember(friendly, "secret34");
      server::TFriend f;
      f.UserSeq = Me;
      f.FriendUserSeq = Owner;
      f.FriendID = "owner";
      f.Name = "owner";
      Server->Db().AddFriend(f);
      server::TFolder shared;
      shared.UserSeq = Owner;
      shared.Name = "shared";
      shared.Pub = server::kPubShared;
      SharedFolder = Server->Db().AddFolder(shared);
    });
  }

  void TearDown() override {
    Session.reset();
    if (Server) Server->Stop();
    std::error_code ec;
    fs::remove_all(Root, ec);
  }

  // A stored file of the owner's shared folder (or of `user`'s root) with the given content.
  TDownSource AddServerFile(const std::string& name, const std::vector<std::uint8_t>& data,
                            std::int32_t user = 0) {
    if (user == 0) user = Owner;
    TDownSource src;
    Server->Db().Run([&] {
      auto& db = Server->Db();
      const std::int32_t stored = db.AddStoredFile(static_cast<std::int64_t>(data.size()),
                                                   static_cast<std::int64_t>(data.size()), user);
      server::TFileEntry e;
      e.UserSeq = user;
      e.FolderSeq = user == Owner ? SharedFolder : server::kTopSeq;
      e.StoredSeq = stored;
      e.UploaderSeq = user;
      e.Name = name;
      e.Size = static_cast<std::int64_t>(data.size());
      e.CurSize = e.Size;
      e.UpDate = server::NowDays();
      e.Expire = e.UpDate + 30;
      src.FileSeq = db.AddFileEntry(e);
      fs::create_directories(db.BlobPath(stored).parent_path());
      WriteFile(db.BlobPath(stored).string(), data);
      src.StoredFileSeq = stored;
      src.FolderSeq = e.FolderSeq;
    });
    src.FileName = name;
    src.Size = src.CurSize = static_cast<std::int64_t>(data.size());
    src.FileText1 = "127.0.0.1";
    src.UserSeq = user;
    src.UploaderSeq = user;
    return src;
  }

  TTransferSession& LoggedIn() {
    if (!Session) {
      Session = std::make_unique<TTransferSession>("127.0.0.1", Server->BasePort());
      Session->Login("tester", "secret12");
    }
    return *Session;
  }

  TTransferSettings Settings() {
    TTransferSettings s;
    s.UserSeq = Me;
    s.UserId = "tester";
    s.BasePort = Server->BasePort();
    s.UpType = 6;
    s.ReadTimeLimitMs = 3000;
    s.PrepareTimeoutMs = 5000;
    s.RetryPauseMs = 10;
    s.IdlePollMs = 5;
    s.ItemPauseMs = 5;
    return s;
  }

  // Runs the download engine until no item waits or runs any more.
  void RunDownloads(TDownItems& items, TTransferSettings settings, TRecorder* recorder = nullptr,
                    int timeoutMs = 60000) {
    TTransferSession& session = LoggedIn();
    TDownEngineDeps deps;
    deps.MainServer = &session;
    deps.Money = &session.Money();
    TDownThread engine(&items, deps, recorder);
    engine.SetSettings(settings);
    session.AttachDown(&engine);
    engine.Start();
    WaitSettled(items, timeoutMs);
    session.AttachDown(nullptr);
  }

  void RunUploads(TUpItems& items, TTransferSettings settings, TRecorder* recorder = nullptr,
                  int timeoutMs = 60000) {
    TTransferSession& session = LoggedIn();
    TUpEngineDeps deps;
    deps.MainServer = &session;
    TUpThread engine(&items, deps, recorder);
    engine.SetSettings(settings);
    session.AttachUp(&engine);
    engine.Start();
    WaitSettledUp(items, timeoutMs);
    session.AttachUp(nullptr);
  }

  static constexpr std::uint16_t kBusy =
      StatusSet({TTransferStatus::Waiting, TTransferStatus::Running, TTransferStatus::Retrying,
                 TTransferStatus::Stopped, TTransferStatus::Querying, TTransferStatus::Ready});

  static void WaitSettled(TDownItems& items, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      {
        std::lock_guard<std::recursive_mutex> lock(DownloadLock());
        if (items.CountInSet(kBusy) == 0) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "downloads did not settle";
  }

  static void WaitSettledUp(TUpItems& items, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      {
        std::lock_guard<std::recursive_mutex> lock(UploadLock());
        if (items.CountInSet(kBusy | StatusBit(TTransferStatus::Held)) == 0) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "uploads did not settle";
  }

  std::string BlobSha(std::int32_t storedSeq) { return Sha256Of(Server->Db().BlobPath(storedSeq).string()); }

  // The file entry `name` of my root folder.
  std::optional<server::TFileEntry> MyFile(const std::string& name) {
    std::optional<server::TFileEntry> found;
    Server->Db().Run([&] {
      for (const auto& f : Server->Db().FilesIn(Me, server::kTopSeq))
        if (f.Name == name) found = f;
    });
    return found;
  }

  fs::path Root;
  std::unique_ptr<server::TReferenceServer> Server;
  std::unique_ptr<TTransferSession> Session;
  std::int32_t Me = 0, Owner = 0, SharedFolder = 0;
};

}  // namespace vantori::testing
