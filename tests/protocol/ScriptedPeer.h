#pragma once
// A loopback server for socket tests: accepts connections on a free port and plays a script of
// writes, pauses, expected reads and closes on each, recording what the client sent. A pause
// ends early when the client closes, so a test never waits for the whole script.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "protocol/UFrame.h"
#include "protocol/UParameter.h"

namespace vantori::testing {

struct Step {
  enum Kind { Send, Pause, Expect, Close } kind;
  Bytes bytes;
  int amount = 0;  // Pause: milliseconds; Expect: byte count
};

inline Step SendBytes(Bytes b) {
  return {Step::Send, std::move(b), 0};
}
inline Step Pause(int ms) {
  return {Step::Pause, {}, ms};
}
inline Step Expect(int n) {
  return {Step::Expect, {}, n};
}
inline Step CloseNow() {
  return {Step::Close, {}, 0};
}

inline Bytes Header(std::uint32_t value) {
  Bytes b(4);
  PutFrameHeader(b.data(), value);
  return b;
}

inline TDataParameter Msg(int type, std::string_view text = {}) {
  TDataParameter m;
  m.AddInteger("T", type);
  if (!text.empty()) m.AddString("S", text);
  return m;
}

inline Bytes FrameOf(TDataParameter m) {
  return MakeFrame(m.Encode());
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::vector<Step> script, int connections = 1) : FScript(std::move(script)) {
    FListener.Listen("127.0.0.1", 0);
    FThread = std::thread([this, connections] { Run(connections); });
  }
  ~ScriptedPeer() {
    FStop = true;
    FListener.Shutdown();
    FThread.join();
  }

  std::uint16_t Port() const { return FListener.Port(); }
  int Accepted() const { return FAccepted.load(); }
  // Everything the clients sent, over all connections.
  Bytes Received() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FReceived;
  }
  // Waits until `n` connections have been played to their end (the client closed or the script did).
  bool WaitFinished(int n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, limit, [&] { return FFinished >= n; });
  }
  bool WaitAccepted(int n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, limit, [&] { return FAccepted.load() >= n; });
  }
  bool WaitReceived(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, limit, [&] { return FReceived.size() >= n; });
  }

 private:
  void Record(std::span<const std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(FLock);
    FReceived.insert(FReceived.end(), bytes.begin(), bytes.end());
    FChanged.notify_all();
  }

  // Takes what the client sends for up to `ms` (-1: until it closes); false once it has closed.
  bool Drain(TcpSocket& peer, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!FStop && (ms < 0 || std::chrono::steady_clock::now() < deadline)) {
      const auto st = peer.Fill(20);
      if (st == TcpSocket::ReadStatus::Closed) return false;
      if (st == TcpSocket::ReadStatus::Data) {
        Record(peer.Buffered());
        peer.Consume(peer.BufferedSize());
      }
    }
    return true;
  }

  void Play(TcpSocket& peer) {
    for (const Step& step : FScript) {
      if (FStop) return;
      switch (step.kind) {
        case Step::Send:
          peer.Write(step.bytes);
          break;
        case Step::Pause:
          if (!Drain(peer, step.amount)) return;
          break;
        case Step::Expect: {
          Bytes got(static_cast<std::size_t>(step.amount));
          peer.ReadExact(got.data(), got.size(), 10000);
          Record(got);
          break;
        }
        case Step::Close:
          return;
      }
    }
    // Script done: keep taking what the client sends until it closes or we are stopped.
    Drain(peer, -1);
  }

  void Run(int connections) {
    for (int i = 0; i < connections && !FStop; ++i) {
      std::unique_ptr<TcpSocket> peer;
      try {
        peer = FListener.Accept(-1);
      } catch (const ESocketError&) {
        return;
      }
      if (!peer) return;
      {
        std::lock_guard<std::mutex> lock(FLock);
        ++FAccepted;
        FChanged.notify_all();
      }
      try {
        Play(*peer);
      } catch (const ESocketError&) {
        // The client went away mid-script; that is the client's business.
      }
      peer->Close();
      std::lock_guard<std::mutex> lock(FLock);
      ++FFinished;
      FChanged.notify_all();
    }
  }

  std::vector<Step> FScript;
  TcpListener FListener;
  std::atomic<bool> FStop{false};
  std::atomic<int> FAccepted{0};
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  Bytes FReceived;
  int FFinished = 0;
  std::thread FThread;
};

// A thread-safe record of events for the tests to wait on.
class EventLog {
 public:
  void Add(std::string e) {
    std::lock_guard<std::mutex> lock(FLock);
    FEvents.push_back(std::move(e));
    FChanged.notify_all();
  }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FEvents;
  }
  int Count(const std::string& e) const {
    std::lock_guard<std::mutex> lock(FLock);
    int n = 0;
    for (const auto& x : FEvents) n += x == e;
    return n;
  }
  bool WaitFor(const std::string& e, int times = 1,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(FLock);
    return FChanged.wait_for(lock, limit, [&] {
      int n = 0;
      for (const auto& x : FEvents) n += x == e;
      return n >= times;
    });
  }

 private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<std::string> FEvents;
};

}  // namespace vantori::testing
