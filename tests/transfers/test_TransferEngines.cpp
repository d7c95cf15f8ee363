// The download and upload engines end to end against the reference server.

#include <sys/stat.h>

#include "TransferFixture.h"
#include "settings/UFunction.h"
#include "transfers/UDownResume.h"
#include "transfers/USafeName.h"
#include "transfers/UTransferTexts.h"

namespace vantori::testing {
namespace {

std::int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

constexpr std::int64_t kBlock = 65536;

class Transfers : public TTransferServerTest {};

TEST_F(Transfers, DownloadsAndUploadsEverySizeIntact) {
  const std::vector<std::int64_t> sizes = {0, 1, kBlock, kBlock + 1, 10 * 1024 * 1024};
  TDownItems down;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const auto data = Content(sizes[i], static_cast<std::uint32_t>(i + 1));
    const TDownSource src = AddServerFile("file" + std::to_string(i) + ".bin", data);
    ASSERT_EQ(down.AddFile(src, (Root / "down").string()), TDownItems::TAddResult::Added);
    WriteFile((Root / "up" / ("up" + std::to_string(i) + ".bin")).string(), data);
    expected.push_back(Sha256Of((Root / "up" / ("up" + std::to_string(i) + ".bin")).string()));
  }
  RunDownloads(down, Settings());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const TDownItem* item = down.Items(static_cast<int>(i));
    SCOPED_TRACE("download of " + std::to_string(sizes[i]) + " bytes");
    EXPECT_EQ(item->Status(), TTransferStatus::Done);
    EXPECT_EQ(Sha256Of(item->LocalPath), expected[i]);
  }
  EXPECT_EQ(down.TotalReceived, down.TotalSize);

  TUpItems up;
  for (std::size_t i = 0; i < sizes.size(); ++i)
    ASSERT_NE(up.AddUpFile(-1, "", (Root / "up" / ("up" + std::to_string(i) + ".bin")).string()), nullptr);
  RunUploads(up, Settings());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const TUpItem* item = up.Items(static_cast<int>(i));
    SCOPED_TRACE("upload of " + std::to_string(sizes[i]) + " bytes");
    if (sizes[i] == 0) {
      // Empty files are not uploaded at all.
      EXPECT_EQ(item->Status(), TTransferStatus::Failed);
      EXPECT_EQ(item->StatusMessage(), texts::kMsgZeroByteFile);
      continue;
    }
    EXPECT_EQ(item->Status(), TTransferStatus::Done);
    const auto entry = MyFile("up" + std::to_string(i) + ".bin");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->CurSize, sizes[i]);
    EXPECT_EQ(BlobSha(entry->StoredSeq), expected[i]);
  }
}

TEST_F(Transfers, CutConnectionsResumeToIdenticalFiles) {
  const auto data = Content(256 * 1024 + 17, 77);
  const std::string sha = [&] {
    WriteFile((Root / "up" / "cut.bin").string(), data);
    return Sha256Of((Root / "up" / "cut.bin").string());
  }();
  TTransferSettings s = Settings();
  s.UpType = 2;  // 4096-byte blocks: the cuts fall inside and between data messages
  for (std::int64_t cut : {4097LL, 10000LL, 65536LL, 100001LL}) {
    SCOPED_TRACE("cut after " + std::to_string(cut));
    Server->Storage()->SetCutAfter(cut);
    const int before = Server->Storage()->DownloadConnections();
    TDownItems down;
    const TDownSource src = AddServerFile("cut" + std::to_string(cut) + ".bin", data);
    down.AddFile(src, (Root / "down").string());
    RunDownloads(down, s);
    EXPECT_EQ(down.Items(0)->Status(), TTransferStatus::Done);
    EXPECT_EQ(Sha256Of(down.Items(0)->LocalPath), sha);
    EXPECT_GT(Server->Storage()->DownloadConnections() - before, 1);

    const std::string name = "upcut" + std::to_string(cut) + ".bin";
    fs::copy_file(Root / "up" / "cut.bin", Root / "up" / name);
    TUpItems up;
    up.AddUpFile(-1, "", (Root / "up" / name).string());
    const int upBefore = Server->Storage()->UploadConnections();
    RunUploads(up, s);
    EXPECT_EQ(up.Items(0)->Status(), TTransferStatus::Done);
    const auto entry = MyFile(name);
    ASSERT_TRUE(entry);
    EXPECT_EQ(BlobSha(entry->StoredSeq), sha);
    EXPECT_GT(Server->Storage()->UploadConnections() - upBefore, 1);
  }
}

TEST_F(Transfers, ResumeAppendsOnlyToTheItemsOwnPartialFile) {
  const auto data = Content(300 * 1024, 5);
  const TDownSource src = AddServerFile("movie.avi", data);
  const std::string root = (Root / "down").string();

  // A foreign file of the same name, as long as the download: not called done, not touched.
  const auto foreign = Content(300 * 1024, 99);
  WriteFile(root + "/movie.avi", foreign);
  const std::string foreignSha = Sha256Of(root + "/movie.avi");
  TDownItems first;
  first.AddFile(src, root);
  RunDownloads(first, Settings());
  EXPECT_EQ(first.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(Sha256Of(root + "/movie.avi"), foreignSha);
  EXPECT_EQ(first.Items(0)->LocalPath, root + "/movie (1).avi");
  EXPECT_EQ(Sha256Of(first.Items(0)->LocalPath), Sha256Of(Server->Db().BlobPath(src.StoredFileSeq).string()));

  // Our own partial file is resumed from its size.
  const std::string own = first.Items(0)->LocalPath;
  ASSERT_EQ(::truncate(own.c_str(), 100000), 0);
  TDownMark mark{src.FileSeq, src.StoredFileSeq, static_cast<std::int64_t>(data.size())};
  ASSERT_TRUE(SaveDownMark(root, "movie (1).avi", mark));
  TDownItems again;
  TDownSource src2 = src;
  again.AddFile(src2, root);
  again.Items(0)->LocalPath = own;
  const int before = Server->Storage()->DownloadConnections();
  RunDownloads(again, Settings());
  EXPECT_EQ(again.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(Sha256Of(own), Sha256Of(Server->Db().BlobPath(src.StoredFileSeq).string()));
  EXPECT_EQ(again.Items(0)->ConnectionBytes, static_cast<std::int64_t>(data.size()) - 100000);
  EXPECT_EQ(Server->Storage()->DownloadConnections() - before, 1);

  // A complete download of the same item is done without any connection.
  TDownItems third;
  third.AddFile(src2, root);
  third.Items(0)->LocalPath = own;
  const int before3 = Server->Storage()->DownloadConnections();
  RunDownloads(third, Settings());
  EXPECT_EQ(third.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(Server->Storage()->DownloadConnections(), before3);

  // Overwrite truncates: a longer old file leaves nothing behind.
  const std::string longer = root + "/over.bin";
  const TDownSource small = AddServerFile("over.bin", Content(1000, 3));
  WriteFile(longer, Content(5000, 4));
  TDownItems over;
  over.AddFile(small, root);
  TTransferSettings s = Settings();
  s.Overwrite = true;
  RunDownloads(over, s);
  EXPECT_EQ(over.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(SizeOf(longer), 1000);
  EXPECT_EQ(Sha256Of(longer), Sha256Of(Server->Db().BlobPath(small.StoredFileSeq).string()));
}

TEST_F(Transfers, HostileServerNamesStayInsideTheDownloadFolder) {
  const std::string root = (Root / "down" / "target").string();
  fs::create_directories(root);
  const std::vector<std::string> names = {
      "..\\..\\evil.txt",
      "../../evil.txt",
      "/etc/evil",
      "C:\\Windows\\evil.dll",
      "..",
      ".",
      "a:b",
      std::string("nul\0byte", 8),
      "ctrl\x01\x1f.txt",
      "trailing. . ",
      "\xB0\xA1/../\xB0\xA1",
  };
  TDownItems down;
  for (const std::string& name : names) {
    const TDownSource src = AddServerFile(name, Content(2000, static_cast<std::uint32_t>(name.size())));
    ASSERT_EQ(down.AddFile(src, root, {"..", "sub/../../x"}), TDownItems::TAddResult::Added) << name;
  }
  // Too long for the download request: refused, not cut.
  EXPECT_EQ(down.AddFile(AddServerFile(std::string(300, 'n'), Content(10, 1)), root),
            TDownItems::TAddResult::NameTooLong);
  for (int i = 0; i < down.Count(); ++i) EXPECT_TRUE(IsLexicallyInside(root, down.Items(i)->LocalPath));

  RunDownloads(down, Settings());
  for (int i = 0; i < down.Count(); ++i) {
    const TDownItem* item = down.Items(i);
    SCOPED_TRACE(item->LocalPath);
    EXPECT_EQ(item->Status(), TTransferStatus::Done);
    EXPECT_EQ(Sha256Of(item->LocalPath), Sha256Of(Server->Db().BlobPath(item->StoredFileSeq).string()));
  }
  // Nothing was written beside or above the target folder.
  for (const auto& entry : fs::recursive_directory_iterator(Root / "down")) {
    if (entry.is_directory()) continue;
    EXPECT_TRUE(IsLexicallyInside(root, entry.path().string())) << entry.path();
  }

  // A link inside the folder that leads out of it is not followed.
  fs::create_directories(Root / "outside");
  fs::create_directory_symlink(Root / "outside", fs::path(root) / "link");
  TDownItems linked;
  linked.AddFile(AddServerFile("linked.bin", Content(100, 9)), root, {"link"});
  RunDownloads(linked, Settings());
  EXPECT_EQ(linked.Items(0)->Status(), TTransferStatus::Failed);
  EXPECT_TRUE(fs::is_empty(Root / "outside"));
}

TEST_F(Transfers, CoinsRunningOutStopTheDownloadMidway) {
  Server->Db().Run([&] {
    Server->Db().SetBalance(Me, 3, 0);
    Server->Db().Prepare("UPDATE members SET unit = 1 WHERE seq = ?1").Bind(1, Me).Done();
  });
  const TDownSource src = AddServerFile("big.bin", Content(10 * 1024 * 1024, 8));
  TDownItems down;
  down.AddFile(src, (Root / "down").string());
  TRecorder recorder;
  RunDownloads(down, Settings(), &recorder);
  const TDownItem* item = down.Items(0);
  EXPECT_EQ(item->Status(), TTransferStatus::Failed);
  EXPECT_EQ(item->StatusMessage(), texts::kMsgNoCoins);
  EXPECT_EQ(Session->Money().Coins(), 0);
  // Three coins of one megabyte each paid for three megabytes, and no block more.
  EXPECT_GE(item->Received, 3 * 1048576);
  EXPECT_LT(item->Received, 3 * 1048576 + kBlock);
  EXPECT_EQ(SizeOf(item->LocalPath), item->Received);
  EXPECT_GE(recorder.MoneyUpdates.load(), 3);
}

TEST_F(Transfers, SilentStorageServerFailsTheAttemptInsteadOfHanging) {
  // A storage "server" that accepts and then never says a word.
  TcpListener silent;
  silent.Listen("127.0.0.1", 0);
  std::vector<std::unique_ptr<TcpSocket>> held;
  std::atomic<bool> stop{false};
  std::thread acceptor([&] {
    while (!stop)
      if (auto peer = silent.Accept(50)) held.push_back(std::move(peer));
  });
  const TDownSource src = AddServerFile("quiet.bin", Content(5000, 2));
  TDownItems down;
  down.AddFile(src, (Root / "down").string());
  TTransferSettings s = Settings();
  s.AdminDown = true;  // keep the item's own address
  s.BasePort = static_cast<std::uint16_t>(silent.Port() - 3);
  s.ReadTimeLimitMs = 200;
  TTransferSession& session = LoggedIn();
  TDownEngineDeps deps;
  deps.MainServer = &session;
  deps.Money = &session.Money();
  {
    TDownThread engine(&down, deps, nullptr);
    engine.SetSettings(s);
    session.AttachDown(&engine);
    engine.Start();
    WaitSettled(down, 30000);
    session.AttachDown(nullptr);
  }
  stop = true;
  acceptor.join();
  EXPECT_EQ(down.Items(0)->Status(), TTransferStatus::Failed);
  EXPECT_GT(down.Items(0)->RetryCount, 10);
}

TEST_F(Transfers, StopLeavesItemsStoppedAndStartResumesThem) {
  const auto data = Content(4 * 1024 * 1024, 12);
  const TDownSource src = AddServerFile("stop.bin", data);
  WriteFile((Root / "up" / "stop.bin").string(), data);
  TTransferSettings s = Settings();
  s.DownSlow = true;
  s.DownLimit = 1024;  // slow enough to stop in the middle
  s.UpSlow = true;
  s.UpLimit = 1024;
  TTransferSession& session = LoggedIn();

  TDownItems down;
  down.AddFile(src, (Root / "down").string());
  {
    TDownEngineDeps deps;
    deps.MainServer = &session;
    deps.Money = &session.Money();
    TDownThread engine(&down, deps, nullptr);
    engine.SetSettings(s);
    session.AttachDown(&engine);
    engine.Start();
    while (down.Items(0)->Received < 300000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    engine.RequestStop();
    EXPECT_EQ(down.Items(0)->Status(), TTransferStatus::Stopped);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::int64_t stoppedAt = SizeOf(down.Items(0)->LocalPath);
    EXPECT_LT(stoppedAt, static_cast<std::int64_t>(data.size()));
    s.DownSlow = false;
    engine.SetSettings(s);
    engine.Start();
    WaitSettled(down, 30000);
    session.AttachDown(nullptr);
  }
  EXPECT_EQ(down.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(Sha256Of(down.Items(0)->LocalPath), Sha256Of((Root / "up" / "stop.bin").string()));

  TUpItems up;
  up.AddUpFile(-1, "", (Root / "up" / "stop.bin").string());
  {
    TUpEngineDeps deps;
    deps.MainServer = &session;
    TUpThread engine(&up, deps, nullptr);
    s.UpSlow = true;
    engine.SetSettings(s);
    session.AttachUp(&engine);
    engine.Start();
    while (up.Items(0)->Sent < 300000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    engine.RequestStop();
    EXPECT_EQ(up.Items(0)->Status(), TTransferStatus::Stopped);
    s.UpSlow = false;
    engine.SetSettings(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.Start();
    WaitSettledUp(up, 30000);
    session.AttachUp(nullptr);
  }
  EXPECT_EQ(up.Items(0)->Status(), TTransferStatus::Done);
  const auto entry = MyFile("stop.bin");
  ASSERT_TRUE(entry);
  EXPECT_EQ(BlobSha(entry->StoredSeq), Sha256Of((Root / "up" / "stop.bin").string()));
}

TEST_F(Transfers, AFileThatShrankAfterQueueingFailsItsUpload) {
  const std::string path = (Root / "up" / "shrink.bin").string();
  WriteFile(path, Content(200000, 6));
  TUpItems up;
  up.AddUpFile(-1, "", path);
  ASSERT_EQ(::truncate(path.c_str(), 50000), 0);
  RunUploads(up, Settings());
  EXPECT_EQ(up.Items(0)->Status(), TTransferStatus::Failed);
  EXPECT_EQ(up.Items(0)->StatusMessage(), std::string("shrink.bin") + texts::kMsgCannotReadSuffix);
}

TEST_F(Transfers, AnUploadTheServerAlreadyHoldsIsDoneWithoutSendingAgain) {
  const std::string path = (Root / "up" / "twice.bin").string();
  WriteFile(path, Content(150000, 21));
  TUpItems first;
  first.AddUpFile(-1, "", path);
  RunUploads(first, Settings());
  ASSERT_EQ(first.Items(0)->Status(), TTransferStatus::Done);
  const int connections = Server->Storage()->UploadConnections();
  TUpItems second;
  second.AddUpFile(-1, "", path);
  RunUploads(second, Settings());
  EXPECT_EQ(second.Items(0)->Status(), TTransferStatus::Done);
  EXPECT_EQ(Server->Storage()->UploadConnections(), connections);
  EXPECT_EQ(second.TotalSent, 150000);

  // Another file of that name and size is not taken for the stored one.
  WriteFile(path, Content(150000, 22));
  TUpItems third;
  third.AddUpFile(-1, "", path);
  RunUploads(third, Settings());
  EXPECT_EQ(third.Items(0)->Status(), TTransferStatus::Failed);
}

}  // namespace
}  // namespace vantori::testing
