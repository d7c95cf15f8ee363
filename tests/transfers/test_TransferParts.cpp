// The parts of the transfer engines that need no server: queue order, limiter, names,
// checksum, resume decision, records, reservation window.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/UCodePage.h"
#include "settings/UFileChecksum.h"
#include "transfers/UAudioSniff.h"
#include "transfers/UDownItems.h"
#include "transfers/UDownResume.h"
#include "transfers/UDownThread.h"
#include "transfers/USafeName.h"
#include "transfers/USpeedLimiter.h"
#include "transfers/UTransferRecords.h"

namespace vantori {
namespace {

namespace fs = std::filesystem;

TEST(DownQueue, SortPutsSubtitlesBeforeTheirVideosAndKeepsOtherItemsInPlace) {
  TDownItems items;
  auto add = [&](const std::string& name, const std::string& folder, TTransferStatus status) {
    TDownItem* item = items.Add();
    item->FileName = name;
    item->LocalFolder = folder;
    item->SetStatus(status);
  };
  add("movie.avi", "/d/", TTransferStatus::Waiting);
  add("running.txt", "/d/", TTransferStatus::Running);
  add("movie.smi", "/d/", TTransferStatus::Waiting);
  add("a.txt", "/d/", TTransferStatus::Waiting);
  add("z.txt", "/e/", TTransferStatus::Waiting);
  items.SortQueue();
  std::vector<std::string> order;
  for (int i = 0; i < items.Count(); ++i) order.push_back(items.Items(i)->FileName);
  EXPECT_EQ(order, (std::vector<std::string>{"a.txt", "running.txt", "movie.smi", "movie.avi", "z.txt"}));
  for (int i = 0; i < items.Count(); ++i) EXPECT_TRUE(items.Items(i)->Sorted);

  // A later batch is sorted only among itself.
  add("b.txt", "/d/", TTransferStatus::Waiting);
  add("0.txt", "/d/", TTransferStatus::Waiting);
  items.SortQueue();
  EXPECT_EQ(items.Items(5)->FileName, "0.txt");
  EXPECT_EQ(items.Items(0)->FileName, "a.txt");
}

TEST(DownQueue, SortKeyIsAStrictWeakOrdering) {
  // The captions that made the pairwise comparison circular: m.avi, m.smi, m.b.
  const std::vector<std::string> names = {"m.avi", "m.smi", "m.b", "M.AVI", "m", "m-2.avi", "x.smi", "x.avi"};
  for (const auto& a : names)
    for (const auto& b : names)
      for (const auto& c : names) {
        const bool ab = DownSortKey(a) < DownSortKey(b), bc = DownSortKey(b) < DownSortKey(c);
        if (ab && bc) {
          EXPECT_LT(DownSortKey(a), DownSortKey(c)) << a << " " << b << " " << c;
        }
      }
  EXPECT_LT(DownSortKey("m.smi"), DownSortKey("m.avi"));
  EXPECT_LT(DownSortKey("m.avi"), DownSortKey("m.b"));
}

TEST(DownQueue, AddRefusesDuplicatesAndIncompleteFiles) {
  TDownItems items;
  TDownSource src;
  src.FileSeq = 1;
  src.FileName = "a.bin";
  src.Size = src.CurSize = 10;
  EXPECT_EQ(items.AddFile(src, "/tmp/x"), TDownItems::TAddResult::Added);
  EXPECT_EQ(items.AddFile(src, "/tmp/x"), TDownItems::TAddResult::Duplicate);
  EXPECT_EQ(items.AddFile(src, "/tmp/y"), TDownItems::TAddResult::Added);
  src.FileName = "b.bin";
  src.CurSize = 5;
  EXPECT_EQ(items.AddFile(src, "/tmp/x"), TDownItems::TAddResult::Incomplete);
  EXPECT_EQ(items.Count(), 2);
  EXPECT_EQ(items.TotalSize, 20);
}

TEST(SafeNames, EveryServerNameBecomesOneHarmlessComponent) {
  struct TCase {
    std::string Server, Local;
  };
  const std::vector<TCase> cases = {
      {"report.txt", "report.txt"},
      {"..", "_"},
      {".", "_"},
      {"", "_"},
      {"../../etc/passwd", ".._.._etc_passwd"},
      {"..\\..\\boot.ini", ".._.._boot.ini"},
      {"C:\\Windows\\x.dll", "C__Windows_x.dll"},
      {"/abs", "_abs"},
      {std::string("a\0b", 3), "a_b"},
      {"tab\there\x7f", "tab_here_"},
      {"what?.txt", "what_.txt"},
      {"dots...", "dots"},
      {"  lead", "lead"},
      {"\xC7\xD1\xB1\xDB.txt", "\xED\x95\x9C\xEA\xB8\x80.txt"},  // cp949 "한글" becomes UTF-8
      {"\xC7", "_"},                                             // a lone lead byte
  };
  for (const TCase& c : cases) EXPECT_EQ(SafeLocalName(c.Server), c.Local) << c.Server;

  const std::string longName = std::string(400, 'x') + ".mp4";
  const std::string cut = SafeLocalName(longName);
  EXPECT_LE(cut.size(), kMaxLocalNameBytes);
  EXPECT_EQ(cut.substr(cut.size() - 4), ".mp4");
  // Korean text is cut on a character boundary.
  std::string korean;
  for (int i = 0; i < 150; ++i) korean += "\xC7\xD1";
  EXPECT_TRUE(Utf8ToCp949(SafeLocalName(korean)).has_value());
}

TEST(SafeNames, JoinedPathsNeverLeaveTheRoot) {
  const std::vector<std::vector<std::string>> folders = {
      {".."}, {"a", "..", ".."}, {"..\\.."}, {"/"}, {"C:"}};
  for (const auto& f : folders) {
    const std::string path = SafeJoin("/dl/root", f, "../x");
    EXPECT_TRUE(IsLexicallyInside("/dl/root", path)) << path;
  }
  EXPECT_FALSE(IsLexicallyInside("/dl/root", "/dl/root/../x"));
  EXPECT_FALSE(IsLexicallyInside("/dl/root", "/dl/rootx/y"));
  EXPECT_FALSE(IsLexicallyInside("/dl/root", "/dl/root"));
  EXPECT_TRUE(IsLexicallyInside("/dl/root/", "/dl/root/a/b"));
}

// Simulates a transfer whose messages take `transferMs` each, paced by the limiter.
double MeasuredKbps(TSpeedLimiter& limiter, TManualClock& clock, std::int64_t block, std::uint32_t transferMs,
                    std::uint32_t forMs) {
  const std::uint32_t start = clock.Tick();
  std::int64_t bytes = 0;
  while (clock.Tick() - start < forMs) {
    clock.Advance(transferMs);
    bytes += block;
    limiter.Pace(block);
  }
  return static_cast<double>(bytes) / 1024.0 / ((clock.Tick() - start) / 1000.0);
}

TEST(SpeedLimiter, HoldsTheLimitAndSettlesAfterAChange) {
  struct TCase {
    std::int32_t Limit;
    std::int64_t Block;
    std::uint32_t TransferMs;
  };
  for (const TCase& c :
       {TCase{50, 1024, 0}, TCase{50, 65536, 1}, TCase{500, 4096, 0}, TCase{500, 114688, 20}}) {
    SCOPED_TRACE(std::to_string(c.Limit) + " KB/s, blocks of " + std::to_string(c.Block));
    TManualClock clock;
    TSpeedLimiter limiter(clock);
    limiter.SetLimit(c.Limit);
    const double rate = MeasuredKbps(limiter, clock, c.Block, c.TransferMs, 20000);
    EXPECT_NEAR(rate, c.Limit, c.Limit * 0.05);
  }
  // From 500 down to 50 and up again: within three seconds the pace is the new one.
  TManualClock clock;
  TSpeedLimiter limiter(clock);
  limiter.SetLimit(500);
  MeasuredKbps(limiter, clock, 8192, 0, 10000);
  limiter.SetLimit(50);
  MeasuredKbps(limiter, clock, 8192, 0, 3000);
  EXPECT_NEAR(MeasuredKbps(limiter, clock, 8192, 0, 10000), 50, 2.5);
  limiter.SetLimit(500);
  MeasuredKbps(limiter, clock, 8192, 0, 3000);
  EXPECT_NEAR(MeasuredKbps(limiter, clock, 8192, 0, 10000), 500, 25);
  // A fast stretch without a limit earns no burst afterwards, and a delay is never negative.
  limiter.SetLimit(0);
  EXPECT_EQ(limiter.DelayAfter(1 << 20), 0u);
  limiter.SetLimit(50);
  EXPECT_NEAR(MeasuredKbps(limiter, clock, 8192, 0, 5000), 50, 2.5);
}

TEST(SpeedMeasure, RemainingTimeNeverDividesByZero) {
  EXPECT_EQ(RemainingSeconds(1000, 0.0), -1);
  EXPECT_EQ(RemainingSeconds(1000, 0.0004), -1);  // rounds to 0
  EXPECT_EQ(RemainingSeconds(1000, -3), -1);
  EXPECT_EQ(RemainingSeconds(10000, 1.0), 10);
  TTransferMeasure m;
  m.Begin(1000);
  m.Sample(1000, 5000);  // no time passed: no speed yet
  EXPECT_EQ(m.RemainingText, kUnknownTimeText);
}

std::int64_t ChecksumOfContent(const std::vector<std::uint8_t>& data) {
  const std::string path =
      (fs::temp_directory_path() / ("vantori-sum-" + std::to_string(::getpid()))).string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  const std::int64_t sum = FileChecksum(path);
  fs::remove(path);
  return sum;
}

TEST(FileChecksum, SamplesTheDescribedBytes) {
  EXPECT_EQ(ChecksumOfContent({'a', 'b', 'c'}), 590);
  EXPECT_EQ(ChecksumOfContent({}), 0);
  std::mt19937 gen(3);
  for (std::int64_t size : {10240LL, 10241LL, 102400LL, 102401LL, 1048576LL, 1048577LL, 5000000LL}) {
    SCOPED_TRACE(size);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    for (auto& b : data) b = static_cast<std::uint8_t>(gen());
    std::vector<std::uint8_t> sample;
    if (size <= 10240) {
      sample = data;
    } else if (size <= 102400) {
      sample.assign(data.end() - 10240, data.end());
    } else if (size <= 1048576) {
      sample.assign(data.begin() + (size - 10245), data.begin() + (size - 10245) + 10240);
    } else {
      sample.assign(10240, 0);
      const std::int64_t step = size / 11;
      for (int k = 0; k < 10; ++k) {
        const std::int64_t at = step * (k + 1) + 1000 * k;
        std::copy(data.begin() + at, data.begin() + at + 1000, sample.begin() + 1000 * k);
      }
    }
    EXPECT_EQ(ChecksumOfContent(data), SampleChecksum(sample.data(), sample.size()));
  }
  // The sum wraps at 32 bits and travels sign-extended.
  std::vector<std::uint8_t> big(10240, 0xFF);
  big[0] = 19;  // m = 23
  EXPECT_LT(SampleChecksum(big.data(), big.size()), 0x80000000LL);
}

TEST(Resume, OnlyTheItemsOwnPartialFileIsResumed) {
  const TDownMark partial{7, 70, 1000, false, 0, 0};
  const TDownMark complete{7, 70, 1000, true, 1000, 555};
  const TDownMark other{8, 80, 1000, false, 0, 0};
  struct TCase {
    const char* Why;
    bool Exists;
    std::int64_t Size, Mtime;
    std::optional<TDownMark> Mark;
    bool Overwrite;
    TResumeAction Expected;
  };
  const std::vector<TCase> cases = {
      {"no local file", false, 0, 0, std::nullopt, false, TResumeAction::Fresh},
      {"our partial file", true, 400, 1, partial, false, TResumeAction::Resume},
      {"our partial file, overwrite", true, 400, 1, partial, true, TResumeAction::Fresh},
      {"our complete file", true, 1000, 555, complete, false, TResumeAction::AlreadyDone},
      {"our complete file, changed since", true, 1000, 556, complete, false, TResumeAction::Rename},
      {"foreign file as long", true, 1000, 1, std::nullopt, false, TResumeAction::Rename},
      {"foreign file shorter", true, 10, 1, std::nullopt, false, TResumeAction::Rename},
      {"foreign file longer", true, 5000, 1, std::nullopt, false, TResumeAction::Rename},
      {"another item's partial file", true, 400, 1, other, false, TResumeAction::Rename},
      {"longer than our item", true, 1500, 1, partial, false, TResumeAction::Rename},
      {"empty foreign file", true, 0, 1, std::nullopt, false, TResumeAction::Fresh},
      {"foreign file, overwrite", true, 5000, 1, std::nullopt, true, TResumeAction::Fresh},
  };
  for (const TCase& c : cases) {
    TResumeInput in;
    in.Exists = c.Exists;
    in.LocalSize = c.Size;
    in.LocalMtimeNs = c.Mtime;
    in.Mark = c.Mark;
    in.FileSeq = 7;
    in.StoredFileSeq = 70;
    in.TotalSize = 1000;
    in.Overwrite = c.Overwrite;
    EXPECT_EQ(DecideResume(in), c.Expected) << c.Why;
  }
}

TEST(Resume, MarksSurviveOddNames) {
  const fs::path dir = fs::temp_directory_path() / ("vantori-marks-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string odd = "tab\tand\nnewline\\.bin";
  ASSERT_TRUE(SaveDownMark(dir.string(), odd, {1, 2, 3, false, 0, 0}));
  ASSERT_TRUE(SaveDownMark(dir.string(), "plain", {4, 5, 6, true, 6, 9}));
  const auto m = LoadDownMark(dir.string(), odd);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->StoredFileSeq, 2);
  EXPECT_TRUE(EraseDownMark(dir.string(), odd));
  EXPECT_FALSE(LoadDownMark(dir.string(), odd));
  EXPECT_TRUE(LoadDownMark(dir.string(), "plain")->Complete);
  fs::remove_all(dir);
}

TEST(Records, FieldsSitAtTheirOffsets) {
  TDownPrepareRecord prep;
  prep.UserSeq = 0x01020304;
  prep.ServerAddress = std::string(25, 'h');  // longer than its field: cut to 20
  prep.Tick = 0xA1B2C3D4;
  const Bytes p = prep.Pack();
  ASSERT_EQ(p.size(), 54u);
  EXPECT_EQ(p[0], 0x04);
  EXPECT_EQ(p[16], 20);
  EXPECT_EQ(p[45], 0xFF);  // the constant -1
  EXPECT_EQ(p[50], 0xD4);
  EXPECT_EQ(p[53], 0xA1);

  TDownRequestRecord req;
  req.FileName = std::string(300, 'f');
  req.Offset = 0x0102030405060708LL;
  req.BlockSize = 65536;
  const Bytes r = req.Pack();
  ASSERT_EQ(r.size(), 376u);
  EXPECT_EQ(r[37 + 255], 0);  // char[256] keeps its terminating zero
  EXPECT_EQ(r[355], 0x08);
  EXPECT_EQ(r[362], 0x01);
  EXPECT_EQ(r[369], 0x01);  // 65536 at 367
  EXPECT_EQ(TDownRequestRecord::Unpack(r)->FileName.size(), 255u);

  TDownPrepareReplyRecord reply;
  reply.Locator2 = std::string(36, 'l');
  reply.CoinUnit = 10;
  reply.Tick = 42;
  const auto back = TDownPrepareReplyRecord::Unpack(reply.Pack());
  EXPECT_EQ(back->Locator2.size(), 36u);
  EXPECT_EQ(back->CoinUnit, 10);
  EXPECT_EQ(back->Tick, 42u);
  EXPECT_FALSE(TDownPrepareReplyRecord::Unpack(Bytes(120)));

  TDownEndedRecord ended;
  ended.ConnectionBytes = 5;
  ended.Tick = 9;
  const Bytes e = ended.Pack();
  ASSERT_EQ(e.size(), 42u);
  EXPECT_EQ(e[4], 5);
  EXPECT_EQ(e[38], 9);
}

TEST(Records, ReplyFreshnessIsTenSeconds) {
  EXPECT_TRUE(ReplyTickFresh(20000, 10000));
  EXPECT_FALSE(ReplyTickFresh(20001, 10000));
  EXPECT_TRUE(ReplyTickFresh(5000, 0xFFFFFFFFu - 4000));  // across the wrap of the tick
}

TEST(Reservation, AWindowPastMidnightCountsOnBothSides) {
  TReservation r;
  r.Enabled = true;
  r.StartHour = 23;
  r.StartMinute = 0;
  r.EndHour = 2;
  r.EndMinute = 0;
  auto at = [](int hour, int minute) {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 5;
    tm.tm_mday = 15;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
  };
  EXPECT_TRUE(InReservationWindow(r, at(23, 30)));
  EXPECT_TRUE(InReservationWindow(r, at(1, 30)));
  EXPECT_FALSE(InReservationWindow(r, at(12, 0)));
  r.StartHour = 3;
  r.StartMinute = 5;
  r.EndHour = 9;
  r.EndMinute = 55;
  EXPECT_TRUE(InReservationWindow(r, at(9, 0)));
  EXPECT_FALSE(InReservationWindow(r, at(10, 0)));
}

TEST(AudioSniff, RecognisesTheRefusedKinds) {
  std::vector<std::uint8_t> mp3 = {0xFF, 0xFB, 0x90, 0x64, 0, 0};
  EXPECT_TRUE(IsMpegAudio(mp3.data(), mp3.size()));
  std::vector<std::uint8_t> id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 2, 0, 0, 0xFF, 0xFB, 0x90, 0x64};
  EXPECT_TRUE(IsMpegAudio(id3.data(), id3.size()));
  std::vector<std::uint8_t> ogg(64, 0);
  std::copy_n("OggS", 4, ogg.begin());
  const std::uint8_t vorbis[] = {0x01, 'v', 'o', 'r', 'b', 'i', 's'};
  std::copy(vorbis, vorbis + 7, ogg.begin() + 28);
  EXPECT_TRUE(IsOggVorbis(ogg.data(), ogg.size()));
  std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  EXPECT_FALSE(IsMpegAudio(text.data(), text.size()));
  EXPECT_FALSE(IsOggVorbis(text.data(), text.size()));
  EXPECT_FALSE(IsWindowsMediaAudio(text.data(), text.size()));
}

}  // namespace
}  // namespace vantori
