#pragma once
// A small blocking TCP layer over POSIX sockets: connecting with a time limit, reading into a
// receive buffer with a time limit, buffered writes that can be cancelled, and a shutdown that
// safely wakes a reader blocked on another thread. TcpListener is the accepting side, used by
// the reference servers and by tests.
//
// Threading rules
//   * One thread reads, one thread at a time writes (callers serialise their writes).
//   * Shutdown() may be called from any thread at any time, also while another thread is blocked
//     in a read or write: it shuts the connection down in both directions, which wakes the blocked
//     call (a read then reports Closed, a write fails). The descriptor stays valid.
//   * Close() (and the destructor) releases the descriptor. Call it only when no other thread uses
//     the socket any more, e.g. after joining the reader. Share the socket through a shared_ptr
//     when its last user is not known in advance.
//
// Server side, in short:
//   TcpListener listener;
//   listener.Listen("127.0.0.1", 0);             // port 0: any free port
//   std::uint16_t port = listener.Port();        // the port actually bound
//   while (auto peer = listener.Accept(-1)) {     // nullptr once listener.Shutdown() was called
//     ... hand `peer` (a std::unique_ptr<TcpSocket>) to a connection thread, read it with
//     TFrameReader (protocol/UFrame.h) and answer with WriteFrame ...
//   }
//
// SIGPIPE is never raised by this layer (MSG_NOSIGNAL on every send).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantori {

// Every failure of this layer. The text names the operation, the address and the system's reason.
class ESocketError : public std::runtime_error {
 public:
  explicit ESocketError(const std::string& message, int error = 0)
      : std::runtime_error(message), FError(error) {}
  // The errno value behind the failure, 0 when there is none (a time limit, a closed connection).
  int Error() const { return FError; }

 private:
  int FError;
};

// ReadExact ran out of time.
class ESocketTimeout : public ESocketError {
 public:
  using ESocketError::ESocketError;
};

// ReadExact found the connection closed (by the peer or by Shutdown) before it had all bytes.
class ESocketClosed : public ESocketError {
 public:
  using ESocketError::ESocketError;
};

class TcpSocket {
 public:
  enum class ReadStatus { Data, Timeout, Closed };

  TcpSocket();
  // Takes over a connected descriptor (from TcpListener::Accept or socketpair).
  explicit TcpSocket(int fd);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Resolves `host` (a dotted IPv4 address or a host name, IPv4 only) and connects to it within
  // timeoutMs (0 or less: no limit of our own). Raises ESocketError on refusal, an unknown host or
  // the time limit. A socket connects once; make a new one for the next connection.
  void Connect(const std::string& host, std::uint16_t port, int timeoutMs);

  // Open and not shut down (by us). A peer's close shows up as a Closed read, not here.
  bool Connected() const { return FFd.load() >= 0 && !FShutdown.load(); }
  int Fd() const { return FFd.load(); }

  // --- reading ---------------------------------------------------------------------------
  // Waits up to timeoutMs (-1: no limit) until data can be read and appends what has arrived to the
  // receive buffer. Data: at least one byte was added. Timeout: nothing arrived in time. Closed:
  // the peer closed the connection or it was shut down. A reset or other failure raises.
  ReadStatus Fill(int timeoutMs);
  // The received bytes not yet taken.
  std::span<const std::uint8_t> Buffered() const {
    return {FRecv.data() + FRecvStart, FRecv.size() - FRecvStart};
  }
  std::size_t BufferedSize() const { return FRecv.size() - FRecvStart; }
  // Removes the first n buffered bytes (n is clamped to what is buffered).
  void Consume(std::size_t n);
  // Copies up to `room` bytes out of the buffer, then removes them; returns how many.
  std::size_t Take(std::uint8_t* dst, std::size_t room);
  // Reads exactly n bytes; every wait for more data is limited to timeoutMs (-1: no limit).
  // Raises ESocketTimeout, ESocketClosed or ESocketError; the bytes that did arrive then stay
  // buffered.
  void ReadExact(void* dst, std::size_t n, int timeoutMs);

  // --- writing ---------------------------------------------------------------------------
  // Adds bytes to the write buffer; nothing is sent until Flush.
  void BufferWrite(std::span<const std::uint8_t> bytes);
  void BufferWrite(const void* bytes, std::size_t n) {
    BufferWrite({static_cast<const std::uint8_t*>(bytes), n});
  }
  // Sends the whole write buffer. On failure the unsent rest is discarded and ESocketError raised.
  void Flush();
  // Discards the write buffer.
  void CancelWrites() { FSend.clear(); }
  std::size_t PendingWrite() const { return FSend.size(); }
  // BufferWrite + Flush.
  void Write(std::span<const std::uint8_t> bytes);
  void Write(const void* bytes, std::size_t n) { Write({static_cast<const std::uint8_t*>(bytes), n}); }

  // --- ending ----------------------------------------------------------------------------
  // Thread-safe, idempotent: shuts the connection down in both directions and wakes any thread
  // blocked on it. The descriptor stays open until Close.
  void Shutdown();
  // Shutdown, then releases the descriptor. Only when no other thread uses the socket.
  void Close();

  // --- addresses -------------------------------------------------------------------------
  // This end's IPv4 address in dotted form ("" when not connected).
  std::string LocalAddress() const;
  std::uint16_t LocalPort() const;
  // The peer's address in dotted form ("" when not connected).
  std::string PeerAddress() const;
  std::uint16_t PeerPort() const;
  // "host:port" as given to Connect, or the peer address of an adopted descriptor; for messages.
  const std::string& Describe() const { return FName; }

 private:
  std::atomic<int> FFd{-1};
  std::atomic<bool> FShutdown{false};
  std::mutex FFdLock;  // orders Shutdown against Close
  std::string FName;
  std::vector<std::uint8_t> FRecv;
  std::size_t FRecvStart = 0;
  std::vector<std::uint8_t> FSend;
};

class TcpListener {
 public:
  TcpListener();
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Binds host:port ("" or "0.0.0.0": every interface; port 0: any free port) and listens.
  // Raises ESocketError (address in use, unknown host, ...).
  void Listen(const std::string& host, std::uint16_t port, int backlog = 64);
  bool Listening() const { return FFd.load() >= 0 && !FStopped.load(); }
  // The port actually bound.
  std::uint16_t Port() const { return FPort; }
  const std::string& Host() const { return FHost; }

  // Waits up to timeoutMs (-1: no limit) for a connection. nullptr on timeout or once Shutdown was
  // called. Other failures raise ESocketError.
  std::unique_ptr<TcpSocket> Accept(int timeoutMs);

  // Thread-safe: stops listening and wakes a thread blocked in Accept.
  void Shutdown();
  // Releases the descriptors. Only when no thread is in Accept.
  void Close();

 private:
  std::atomic<int> FFd{-1};
  std::atomic<bool> FStopped{false};
  int FWake[2] = {-1, -1};  // self-pipe that wakes Accept
  std::uint16_t FPort = 0;
  std::string FHost;
};

}  // namespace vantori
