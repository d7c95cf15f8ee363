// Download and upload engines over loopback, without a speed limit, for each block size of the
// speed types, beside a plain socket pump of the same block size in the same process. The
// figure is the ratio of the engine's rate to the pump's. VANTORI_BENCH_MB sets the file size
// (default 1024 MiB).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "TReferenceServer.h"
#include "platform/TcpSocket.h"
#include "settings/UFunction.h"
#include "transfers/UDownThread.h"
#include "transfers/UTransferSession.h"
#include "transfers/UUpThread.h"

namespace fs = std::filesystem;
using namespace vantori;

namespace {

std::int64_t FileBytes() {
  const char* env = std::getenv("VANTORI_BENCH_MB");
  const std::int64_t mb = env ? std::atoll(env) : 1024;
  return (mb > 0 ? mb : 1024) * 1048576;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

double PeakRssMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

double RssMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

std::map<int, double> gPumpRate;  // MB/s by block size

struct TEnv {
  fs::path Root;
  std::unique_ptr<server::TReferenceServer> Server;
  std::unique_ptr<TTransferSession> Session;
  std::int32_t Me = 0;
  TDownSource Source;

  TEnv() {
    Root = fs::temp_directory_path() / ("vantori-bench-" + std::to_string(::getpid()));
    fs::create_directories(Root / "data");
    std::mt19937 gen(std::random_device{}());
    for (int attempt = 0; attempt < 30 && !Server; ++attempt) {
      server::TServerOptions options;
      options.DataDir = Root / "data";
      options.BasePort = static_cast<std::uint16_t>(20000 + gen() % 40000);
      options.Log = [](const std::string&) {};
      auto s = std::make_unique<server::TReferenceServer>(options);
      try {
        s->Start();
        Server = std::move(s);
      } catch (const std::exception&) {
      }
    }
    const std::int64_t size = FileBytes();
    Server->Db().Run([&] {
      server::TMember m;
      m.UserID = "bench";
      m.Coins = 1 << 30;
      m.Unit = 1024;
      Me = Server->Db().AddMember(m, "bench1234");
      const std::int32_t stored = Server->Db().AddStoredFile(size, size, Me);
      server::TFileEntry e;
      e.UserSeq = Me;
      e.StoredSeq = stored;
      e.UploaderSeq = Me;
      e.Name = "big.bin";
      e.UpDate = server::NowDays();
      e.Expire = e.UpDate + 30;
      Source.FileSeq = Server->Db().AddFileEntry(e);
      Source.StoredFileSeq = stored;
      fs::create_directories(Server->Db().BlobPath(stored).parent_path());
      std::ofstream out(Server->Db().BlobPath(stored), std::ios::binary);
      std::vector<char> chunk(1 << 20);
      for (auto& c : chunk) c = static_cast<char>(gen());
      for (std::int64_t done = 0; done < size; done += static_cast<std::int64_t>(chunk.size()))
        out.write(chunk.data(),
                  static_cast<std::streamsize>(std::min<std::int64_t>(chunk.size(), size - done)));
    });
    Source.FileName = "big.bin";
    Source.Size = Source.CurSize = size;
    Source.FolderSeq = -1;
    Source.FileText1 = "127.0.0.1";
    Source.UserSeq = Source.UploaderSeq = Me;
    Session = std::make_unique<TTransferSession>("127.0.0.1", Server->BasePort());
    Session->Login("bench", "bench1234");
  }
  ~TEnv() {
    Session.reset();
    Server->Stop();
    std::error_code ec;
    fs::remove_all(Root, ec);
  }
  TTransferSettings Settings(int upType) const {
    TTransferSettings s;
    s.UserSeq = Me;
    s.UserId = "bench";
    s.BasePort = Server->BasePort();
    s.UpType = upType;
    s.IdlePollMs = 1;
    s.ItemPauseMs = 1;
    s.RetryPauseMs = 100;
    return s;
  }
};

TEnv& Env() {
  static TEnv env;
  return env;
}

void Report(benchmark::State& state, std::int64_t bytes, double seconds, double cpu, double rssBefore,
            int block) {
  const double mbps = bytes / 1048576.0 / seconds;
  state.counters["MB/s"] = mbps;
  state.counters["CPU_s_per_GiB"] = cpu / (bytes / 1073741824.0);
  state.counters["peak_RSS_MB"] = PeakRssMb();
  state.counters["RSS_growth_MB"] = RssMb() - rssBefore;
  if (gPumpRate.count(block)) state.counters["ratio_to_pump"] = mbps / gPumpRate[block];
}

// A plain socket pump of `total` bytes in blocks of `block` bytes; returns MB/s.
double RunPump(int block, std::int64_t total, double* cpu = nullptr) {
  TcpListener listener;
  listener.Listen("127.0.0.1", 0);
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  std::thread sender([&] {
    auto peer = listener.Accept(5000);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(block), 7);
    for (std::int64_t sent = 0; sent < total; sent += block) peer->Write(buf.data(), buf.size());
    peer->Shutdown();
  });
  TcpSocket sock;
  sock.Connect("127.0.0.1", listener.Port(), 5000);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(block));
  std::int64_t got = 0;
  while (got < total) {
    const ssize_t n = ::recv(sock.Fd(), buf.data(), buf.size(), 0);
    if (n <= 0) break;
    got += n;
  }
  sender.join();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (cpu) *cpu = CpuSeconds() - cpu0;
  return got / 1048576.0 / secs;
}

void BM_Pump(benchmark::State& state) {
  const int block = BlockSizeForIndex(static_cast<int>(state.range(0)));
  const std::int64_t total = FileBytes();
  for (auto _ : state) {
    const double rss0 = RssMb();
    double cpu = 0;
    const auto t0 = std::chrono::steady_clock::now();
    gPumpRate[block] = RunPump(block, total, &cpu);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Report(state, total, secs, cpu, rss0, block);
  }
}

void BM_Download(benchmark::State& state) {
  TEnv& env = Env();
  const int upType = static_cast<int>(state.range(0));
  const int block = BlockSizeForIndex(upType);
  for (auto _ : state) {
    const fs::path dir = env.Root / ("down" + std::to_string(upType));
    fs::create_directories(dir);
    TDownItems items;
    items.AddFile(env.Source, dir.string());
    TDownEngineDeps deps;
    deps.MainServer = env.Session.get();
    deps.Money = &env.Session->Money();
    gPumpRate[block] = RunPump(block, std::min<std::int64_t>(FileBytes(), 256 << 20));
    const double cpu0 = CpuSeconds(), rss0 = RssMb();
    const auto t0 = std::chrono::steady_clock::now();
    {
      TDownThread engine(&items, deps, nullptr);
      engine.SetSettings(env.Settings(upType));
      env.Session->AttachDown(&engine);
      engine.Start();
      for (;;) {
        {
          std::lock_guard<std::recursive_mutex> lock(DownloadLock());
          const auto s = items.Items(0)->Status();
          if (s == TTransferStatus::Done || s == TTransferStatus::Failed) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      env.Session->AttachDown(nullptr);
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (items.Items(0)->Status() != TTransferStatus::Done) state.SkipWithError("download failed");
    Report(state, items.Items(0)->Received, secs, CpuSeconds() - cpu0, rss0, block);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
}

void BM_Upload(benchmark::State& state) {
  TEnv& env = Env();
  const int upType = static_cast<int>(state.range(0));
  const int block = BlockSizeForIndex(upType);
  const std::string source = env.Server->Db().BlobPath(env.Source.StoredFileSeq).string();
  for (auto _ : state) {
    TUpItems items;
    items.AddUpFile(-1, "", source, "up" + std::to_string(upType) + ".bin");
    TUpEngineDeps deps;
    deps.MainServer = env.Session.get();
    gPumpRate[block] = RunPump(block, std::min<std::int64_t>(FileBytes(), 256 << 20));
    const double cpu0 = CpuSeconds(), rss0 = RssMb();
    const auto t0 = std::chrono::steady_clock::now();
    {
      TUpThread engine(&items, deps, nullptr);
      engine.SetSettings(env.Settings(upType));
      env.Session->AttachUp(&engine);
      engine.Start();
      for (;;) {
        {
          std::lock_guard<std::recursive_mutex> lock(UploadLock());
          const auto s = items.Items(0)->Status();
          if (s == TTransferStatus::Done || s == TTransferStatus::Failed) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      env.Session->AttachUp(nullptr);
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (items.Items(0)->Status() != TTransferStatus::Done) state.SkipWithError("upload failed");
    Report(state, items.Items(0)->Sent, secs, CpuSeconds() - cpu0, rss0, block);
  }
}

void BlockSizes(benchmark::internal::Benchmark* b) {
  for (int upType = 0; upType <= 8; ++upType) b->Arg(upType);
  b->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

// The pump alone, then the engines; each engine run is preceded by a pump of its block size
// under the same load, and its ratio is taken against that.
BENCHMARK(BM_Pump)->Apply(BlockSizes);
BENCHMARK(BM_Download)->Apply(BlockSizes);
BENCHMARK(BM_Upload)->Apply(BlockSizes);
BENCHMARK_MAIN();
