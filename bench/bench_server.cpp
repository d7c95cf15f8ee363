// Listings per second and latency percentiles of the reference server for 100 concurrent
// clients, each on its own connection, each listing a folder of 20 files in a loop.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "TReferenceServer.h"
#include "platform/TcpSocket.h"
#include "protocol/UFrame.h"
#include "settings/UFunction.h"

namespace {

using namespace vantori;
using namespace vantori::server;

struct TBenchServer {
  std::filesystem::path Dir;
  std::unique_ptr<TReferenceServer> Server;
  std::int32_t Member = 0;
  std::int32_t Folder = 0;

  TBenchServer() {
    Dir = std::filesystem::temp_directory_path() / ("vantori-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(Dir);
    std::mt19937 rng(std::random_device{}());
    for (int attempt = 0; !Server; ++attempt) {
      TServerOptions o;
      o.DataDir = Dir;
      o.BasePort = static_cast<std::uint16_t>(20000 + rng() % 40000);
      o.Log = [](const std::string&) {};
      auto s = std::make_unique<TReferenceServer>(o);
      try {
        s->Start();
        Server = std::move(s);
      } catch (...) {
        if (attempt > 20) throw;
      }
    }
    TServerDb& db = Server->Db();
    db.Run([&] {
      TMember m;
      m.UserID = "bench";
      Member = db.AddMember(m, "bench-pass");
      TFolder f;
      f.UserSeq = Member;
      f.Name = "folder";
      Folder = db.AddFolder(f);
      for (int i = 0; i < 20; ++i) {
        TFileEntry e;
        e.UserSeq = e.UploaderSeq = Member;
        e.FolderSeq = Folder;
        e.Name = "file" + std::to_string(i) + ".dat";
        e.StoredSeq = db.AddStoredFile(1000 + i, 1000 + i, Member);
        e.UpDate = NowDays();
        e.Expire = e.UpDate + 30;
        db.AddFileEntry(e);
      }
    });
    // Open the session through the login information request.
    TcpSocket sock;
    sock.Connect("127.0.0.1", Server->BasePort(), 2000);
    TDataParameter m;
    m.AddInteger("T", 76);
    m.AddInteger("UserSeq", Member);
    m.AddString("UserID", "bench");
    m.AddInteger("Serial", 0);
    m.AddString("1", ScrambleText(PadRightBlanks("1", 20) + PadRightBlanks(std::to_string(Member), 10) +
                                  PadRightBlanks("bench", 21) + "bench-pass"));
    WriteFrame(sock, m);
    TFrameReader reader(sock);
    TDataParameter reply;
    reader.ReadFrame(reply);
  }
  ~TBenchServer() {
    Server.reset();
    std::filesystem::remove_all(Dir);
  }
};

void BM_Listings100Clients(benchmark::State& state) {
  static TBenchServer bench;
  constexpr int kClients = 100;
  for (auto _ : state) {
    std::atomic<bool> go{false};
    std::vector<std::vector<double>> latencies(kClients);
    std::vector<std::thread> threads;
    const int perClient = static_cast<int>(state.range(0));
    for (int c = 0; c < kClients; ++c) {
      threads.emplace_back([&, c] {
        TcpSocket sock;
        sock.Connect("127.0.0.1", bench.Server->BasePort(), 5000);
        TFrameReader reader(sock);
        while (!go) std::this_thread::yield();
        for (int i = 0; i < perClient; ++i) {
          TDataParameter m;
          m.AddInteger("T", 581);
          m.AddInteger("UserSeq", bench.Member);
          m.AddInteger("Owner", -1);
          m.AddInteger("Seq", bench.Folder);
          m.AddInteger("Hdl", i);
          const auto t0 = std::chrono::steady_clock::now();
          WriteFrame(sock, m);
          TDataParameter reply;
          if (reader.ReadFrame(reply) != FrameEnd::Message) break;
          latencies[c].push_back(
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
      });
    }
    const auto start = std::chrono::steady_clock::now();
    go = true;
    for (auto& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<double> all;
    for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    state.SetIterationTime(seconds);
    if (!all.empty()) {
      state.counters["listings_per_s"] = static_cast<double>(all.size()) / seconds;
      state.counters["p50_ms"] = all[all.size() / 2];
      state.counters["p99_ms"] = all[std::min(all.size() - 1, all.size() * 99 / 100)];
      state.counters["listings"] = static_cast<double>(all.size());
    }
  }
}
BENCHMARK(BM_Listings100Clients)->Arg(50)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
