#pragma once
// The engines' own connection to a storage or upload server (and the storage servers' side of
// it): framed messages over TcpSocket, read in slices so that the engine's thread can look at
// its stop flag, keep the connection alive and give up on a silent server, all without ever
// losing part of a frame. Frames are read in large pieces straight into one reused buffer and
// decoded in place, and data messages go from their file to the socket inside the kernel, so a
// transfer costs little more than the socket itself.
//
// Only one thread (the engine's, or the server connection's) reads, writes and closes a link;
// any other thread may only call Shutdown, which wakes it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/TcpSocket.h"
#include "protocol/UParameter.h"

namespace vantori {

class TTransferLink {
 public:
  enum class TRead { Message, Timeout, Closed };

  TTransferLink() = default;
  ~TTransferLink();
  TTransferLink(const TTransferLink&) = delete;
  TTransferLink& operator=(const TTransferLink&) = delete;

  // Opens a new connection (closing an earlier one). Raises ESocketError. sendLimitMs > 0
  // bounds every blocked send, so a server that stops reading fails the attempt.
  void Connect(const std::string& host, std::uint16_t port, int timeoutMs, int sendLimitMs = 0);
  // Takes over an accepted connection (the servers' side).
  void Adopt(std::shared_ptr<TcpSocket> socket, int sendLimitMs = 0);
  bool Open() const;

  // Waits up to waitMs (0: only what has arrived) for one whole message. A frame above the
  // frame limit raises ESocketError, an undecodable one EParamError.
  TRead Read(TDataParameter& message, int waitMs);
  // The same, but a data message [T = dataType, F = bytes] in its usual encoding with at least
  // one byte comes back as a view of its bytes in `data` (valid until the next call) and is not
  // decoded; any other message is decoded into `message` and `data` is left empty.
  TRead ReadData(int dataType, TDataParameter& message, std::span<const std::uint8_t>& data, int waitMs);
  // Sends one message. Raises ESocketError.
  void Send(TDataParameter& message);
  // Sends the data message [T = type, F = `size` bytes of file `fd` from `offset`], the bytes
  // going from the file to the socket inside the kernel. Returns how many file bytes were
  // available: fewer than `size` means the file ended early, and the connection is then
  // unusable (the frame was announced whole), so the caller must give it up.
  std::size_t SendFileData(int type, int fd, std::int64_t offset, std::size_t size);
  // Sends only the first `cut` bytes of that data message's frame (fault injection in tests).
  void SendDataCut(int type, const std::uint8_t* bytes, std::size_t size, std::size_t cut);

  // Any thread: wakes a blocked read; the connection counts as closed from now on.
  void Shutdown();
  // Owner thread only.
  void Close();

 private:
  void SetSendLimit(int ms);
  std::shared_ptr<TcpSocket> OpenSocket();
  void SendVector(const std::uint8_t* a, std::size_t na, const std::uint8_t* b, std::size_t nb,
                  bool more = false);
  const Bytes& DataPrefix(int type, std::size_t size);

  mutable std::mutex FLock;  // guards FSocket's pointer against Shutdown from other threads
  std::shared_ptr<TcpSocket> FSocket;
  std::atomic<bool> FShut{false};
  std::unique_ptr<std::uint8_t[]> FBuf;
  std::size_t FCap = 0, FStart = 0, FEnd = 0;
  std::map<std::pair<int, std::size_t>, Bytes> FPrefixes;
};

}  // namespace vantori
