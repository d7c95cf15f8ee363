// Download and upload engines over loopback, without a speed limit, for each block size of the
// speed types, beside a plain socket pump of the same block size in the same process. The
// figure is the ratio of the engine's rate to the pump's. VANTORI_BENCH_MB sets the file size
// (default 1024 MiB), VANTORI_BENCH_REPEATS the runs per figure (default 3), and
// VANTORI_BENCH_VERBOSE=1 prints every run.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <thread>
#include <vector>

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
    // The source goes to disk now, so its write-back does not fall into the measured runs.
    ::sync();
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

int Repeats() {
  const char* env = std::getenv("VANTORI_BENCH_REPEATS");
  const int n = env ? std::atoi(env) : 3;
  return n > 0 ? n : 3;
}

bool SyncFirst() {
  return std::getenv("VANTORI_BENCH_SYNC") != nullptr;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// A plain socket pump of `total` bytes in blocks of `block` bytes; returns MB/s. With `into`,
// the receiver also writes what it gets to that new file: the least any download must do.
double RunPump(int block, std::int64_t total, double* cpu = nullptr, const fs::path* into = nullptr) {
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
  const int file = into ? ::open(into->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600) : -1;
  std::int64_t got = 0;
  while (got < total) {
    const ssize_t n = ::recv(sock.Fd(), buf.data(), buf.size(), 0);
    if (n <= 0) break;
    if (file >= 0 && ::pwrite(file, buf.data(), static_cast<std::size_t>(n), got) != n) break;
    got += n;
  }
  sender.join();
  if (file >= 0) {
    ::close(file);
    std::error_code ec;
    fs::remove(*into, ec);
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (cpu) *cpu = CpuSeconds() - cpu0;
  return got / 1048576.0 / secs;
}

struct TEngineRun {
  bool Ok = false;
  std::int64_t Bytes = 0;
  double Seconds = 0, Cpu = 0;
};

// Runs the engine and a pump of the same size and block in turns (VANTORI_BENCH_SYNC=1 writes
// out what earlier runs left for the disk before each) and reports the medians (the engine's
// MB/s, the pump's, the ratio of each pair) and the best run of each with their ratio.
template <class Run>
void Compare(benchmark::State& state, int block, Run run) {
  std::vector<double> rates, pumps, ratios, cpus;
  double growth = 0;
  for (int r = 0; r < Repeats(); ++r) {
    if (SyncFirst()) ::sync();
    const double pump = RunPump(block, FileBytes());
    if (SyncFirst()) ::sync();
    const double rss0 = RssMb();
    const TEngineRun e = run();
    if (!e.Ok) {
      state.SkipWithError("transfer failed");
      return;
    }
    growth = std::max(growth, RssMb() - rss0);
    const double mbps = e.Bytes / 1048576.0 / e.Seconds;
    rates.push_back(mbps);
    pumps.push_back(pump);
    ratios.push_back(mbps / pump);
    cpus.push_back(e.Cpu / (e.Bytes / 1073741824.0));
    if (std::getenv("VANTORI_BENCH_VERBOSE"))
      std::fprintf(stderr, "  run %d: %.0f MB/s, pump %.0f MB/s, ratio %.2f, %.2f CPU s/GiB\n", r + 1, mbps,
                   pump, mbps / pump, cpus.back());
  }
  state.counters["MB/s"] = Median(rates);
  state.counters["pump_MB/s"] = Median(pumps);
  state.counters["ratio_to_pump"] = Median(ratios);
  // Interference from the rest of the machine only ever slows a run down, so the best runs of
  // each are the steadiest comparison where the machine is shared.
  const double bestRate = *std::max_element(rates.begin(), rates.end());
  const double bestPump = *std::max_element(pumps.begin(), pumps.end());
  state.counters["best_MB/s"] = bestRate;
  state.counters["best_pump_MB/s"] = bestPump;
  state.counters["best_ratio"] = bestRate / bestPump;
  state.counters["CPU_s_per_GiB"] = Median(cpus);
  state.counters["peak_RSS_MB"] = PeakRssMb();
  state.counters["RSS_growth_MB"] = growth;
}

void BM_Pump(benchmark::State& state) {
  const int block = BlockSizeForIndex(static_cast<int>(state.range(0)));
  const std::int64_t total = FileBytes();
  for (auto _ : state) {
    std::vector<double> rates, cpus;
    for (int r = 0; r < Repeats(); ++r) {
      double cpu = 0;
      rates.push_back(RunPump(block, total, &cpu));
      cpus.push_back(cpu / (total / 1073741824.0));
    }
    state.counters["MB/s"] = Median(rates);
    state.counters["CPU_s_per_GiB"] = Median(cpus);
    state.counters["peak_RSS_MB"] = PeakRssMb();
  }
}

// The pump writing into a new file: what the page cache costs on this machine, beside which
// the engines' own overhead can be read.
void BM_PumpToFile(benchmark::State& state) {
  const int block = BlockSizeForIndex(static_cast<int>(state.range(0)));
  const std::int64_t total = FileBytes();
  const fs::path file = fs::temp_directory_path() / ("vantori-bench-pump-" + std::to_string(::getpid()));
  for (auto _ : state) {
    std::vector<double> rates, cpus;
    for (int r = 0; r < Repeats(); ++r) {
      double cpu = 0;
      rates.push_back(RunPump(block, total, &cpu, &file));
      cpus.push_back(cpu / (total / 1073741824.0));
    }
    state.counters["MB/s"] = Median(rates);
    state.counters["CPU_s_per_GiB"] = Median(cpus);
  }
}

void BM_Download(benchmark::State& state) {
  TEnv& env = Env();
  const int upType = static_cast<int>(state.range(0));
  const int block = BlockSizeForIndex(upType);
  for (auto _ : state) {
    Compare(state, block, [&] {
      const fs::path dir = env.Root / ("down" + std::to_string(upType));
      fs::create_directories(dir);
      TDownItems items;
      items.AddFile(env.Source, dir.string());
      TDownEngineDeps deps;
      deps.MainServer = env.Session.get();
      deps.Money = &env.Session->Money();
      const double cpu0 = CpuSeconds();
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
      TEngineRun run;
      run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      run.Cpu = CpuSeconds() - cpu0;
      run.Ok = items.Items(0)->Status() == TTransferStatus::Done;
      run.Bytes = items.Items(0)->Received;
      std::error_code ec;
      fs::remove_all(dir, ec);
      return run;
    });
  }
}

void BM_Upload(benchmark::State& state) {
  TEnv& env = Env();
  const int upType = static_cast<int>(state.range(0));
  const int block = BlockSizeForIndex(upType);
  const std::string source = env.Server->Db().BlobPath(env.Source.StoredFileSeq).string();
  int serial = 0;
  for (auto _ : state) {
    Compare(state, block, [&] {
      TUpItems items;
      items.AddUpFile(-1, "", source,
                      "up" + std::to_string(upType) + "-" + std::to_string(++serial) + ".bin");
      TUpEngineDeps deps;
      deps.MainServer = env.Session.get();
      const double cpu0 = CpuSeconds();
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
      TEngineRun run;
      run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      run.Cpu = CpuSeconds() - cpu0;
      run.Ok = items.Items(0)->Status() == TTransferStatus::Done;
      run.Bytes = items.Items(0)->Sent;
      // The uploaded copy is not needed again; only the source stays in the blob folder.
      const fs::path keep = env.Server->Db().BlobPath(env.Source.StoredFileSeq);
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(keep.parent_path(), ec))
        if (entry.path() != keep) fs::remove(entry.path(), ec);
      return run;
    });
  }
}

void BlockSizes(benchmark::internal::Benchmark* b) {
  for (int upType = 0; upType <= 8; ++upType) b->Arg(upType);
  b->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

// The pump alone, then the engines, each in turns with a pump of its block size.
BENCHMARK(BM_Pump)->Apply(BlockSizes);
BENCHMARK(BM_PumpToFile)->Apply(BlockSizes);
BENCHMARK(BM_Download)->Apply(BlockSizes);
BENCHMARK(BM_Upload)->Apply(BlockSizes);
BENCHMARK_MAIN();
