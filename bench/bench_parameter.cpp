// Message encoding and decoding: a typical ten-parameter request and a 64 KiB data message,
// with the heap allocations each one costs.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "protocol/UParameter.h"

// The replaced operators below pair malloc with free; GCC's pairing check sees the inlined
// free and not the matching operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<std::uint64_t> gAllocations{0};
}

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  ::operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
  ::operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  ::operator delete(p);
}

namespace {

using vantori::TDataParameter;

// A folder-service request as the client sends it: type, handle, names, numbers, a flag.
void FillRequest(TDataParameter& m) {
  m.Clear();
  m.AddInteger("T", 18);
  m.AddInteger("Handle", 140737488355328LL);
  m.AddString("UserID", "member0042");
  m.AddInteger("FolderSeq", 1048576);
  m.AddString("FolderName", "\xBB\xE7\xC1\xF8 \xB8\xF0\xC0\xBD 2024");  // a cp949 name
  m.AddString("Pub", "T");
  m.AddString("Pass", "");
  m.AddInteger("ParentSeq", 77);
  m.AddBoolean("Club", false);
  m.AddString("Memo", "folder created from the main window tree");
}

void FillData(TDataParameter& m, const std::vector<std::uint8_t>& block) {
  m.Clear();
  m.AddInteger("T", 68);
  m.AddData("Data", block.data(), block.size());
}

template <class Body>
void Measure(benchmark::State& state, std::size_t bytesPerMessage, Body&& body) {
  const std::uint64_t before = gAllocations.load();
  for (auto _ : state) body();
  const std::uint64_t allocations = gAllocations.load() - before;
  state.counters["allocs_per_msg"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerMessage));
}

void BM_RequestBuildAndEncode(benchmark::State& state) {
  TDataParameter m;
  FillRequest(m);
  const std::size_t size = m.Encode().size();
  Measure(state, size, [&] {
    FillRequest(m);
    benchmark::DoNotOptimize(m.Encode().data());
  });
}

void BM_RequestDecode(benchmark::State& state) {
  TDataParameter src;
  FillRequest(src);
  const auto enc = src.Encode();
  const std::vector<std::uint8_t> bytes(enc.begin(), enc.end());
  TDataParameter m;
  Measure(state, bytes.size(), [&] {
    m.Decode(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(m.Params(0).AsInteger());
  });
}

void BM_Data64KBuildAndEncode(benchmark::State& state) {
  const std::vector<std::uint8_t> block(65536, 0x5A);
  TDataParameter m;
  FillData(m, block);
  const std::size_t size = m.Encode().size();
  Measure(state, size, [&] {
    FillData(m, block);
    benchmark::DoNotOptimize(m.Encode().data());
  });
}

void BM_Data64KDecode(benchmark::State& state) {
  const std::vector<std::uint8_t> block(65536, 0x5A);
  TDataParameter src;
  FillData(src, block);
  const auto enc = src.Encode();
  const std::vector<std::uint8_t> bytes(enc.begin(), enc.end());
  TDataParameter m;
  Measure(state, bytes.size(), [&] {
    m.Decode(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(m.Params(1).AsData());
  });
}

}  // namespace

BENCHMARK(BM_RequestBuildAndEncode);
BENCHMARK(BM_RequestDecode);
BENCHMARK(BM_Data64KBuildAndEncode);
BENCHMARK(BM_Data64KDecode);

BENCHMARK_MAIN();
