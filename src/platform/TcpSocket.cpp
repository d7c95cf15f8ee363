#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace vantori {

namespace {

std::string ErrnoText(int error) {
  char buf[256];
  // GNU strerror_r returns the text, which may or may not be buf.
  const char* text = strerror_r(error, buf, sizeof buf);
  return text;
}

std::string Where(const std::string& host, std::uint16_t port) {
  return host + ":" + std::to_string(port);
}

// poll() that restarts after a signal with the time still left; returns poll's result.
int PollRetry(pollfd* fds, nfds_t count, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int wait = timeoutMs;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left < 0 ? 0 : static_cast<int>(left);
    }
    int rc = ::poll(fds, count, wait);
    if (rc >= 0 || errno != EINTR) return rc;
  }
}

std::string Dotted(const sockaddr_in& a) {
  char buf[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
  return buf;
}

bool SockName(int fd, bool peer, sockaddr_in& out) {
  if (fd < 0) return false;
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&ss), &len)
                : ::getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  if (rc != 0 || ss.ss_family != AF_INET) return false;
  std::memcpy(&out, &ss, sizeof out);
  return true;
}

void SetBlocking(int fd, bool blocking) {
  int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  ::fcntl(fd, F_SETFL, flags);
}

// Resolves an IPv4 host; raises with the resolver's text.
struct AddrList {
  addrinfo* head = nullptr;
  ~AddrList() {
    if (head) ::freeaddrinfo(head);
  }
};

void Resolve(const std::string& host, std::uint16_t port, bool passive, AddrList& out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  if (passive) hints.ai_flags = AI_PASSIVE;
  const std::string service = std::to_string(port);
  const char* node = host.empty() ? nullptr : host.c_str();
  int rc = ::getaddrinfo(node, service.c_str(), &hints, &out.head);
  if (rc != 0) {
    std::string why = rc == EAI_SYSTEM ? ErrnoText(errno) : ::gai_strerror(rc);
    throw ESocketError("Cannot resolve host '" + host + "': " + why, rc == EAI_SYSTEM ? errno : 0);
  }
  if (!out.head) throw ESocketError("Cannot resolve host '" + host + "': no IPv4 address");
}

}  // namespace

// --- TcpSocket -----------------------------------------------------------------------------

TcpSocket::TcpSocket() = default;

TcpSocket::TcpSocket(int fd) {
  FFd.store(fd);
  sockaddr_in peer{};
  if (SockName(fd, true, peer)) FName = Where(Dotted(peer), ntohs(peer.sin_port));
}

TcpSocket::~TcpSocket() {
  Close();
}

void TcpSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs) {
  if (FFd.load() >= 0 || FShutdown.load()) throw ESocketError("Socket to " + Describe() + " already used");
  FName = Where(host, port);
  AddrList list;
  Resolve(host, port, false, list);

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  std::string lastError = "no address";
  int lastErrno = 0;
  for (addrinfo* ai = list.head; ai; ai = ai->ai_next) {
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) {
      lastErrno = errno;
      lastError = ErrnoText(errno);
      continue;
    }
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int wait = -1;
      if (timeoutMs > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        wait = left < 0 ? 0 : static_cast<int>(left);
      }
      int prc = PollRetry(&p, 1, wait);
      if (prc == 0) {
        ::close(fd);
        throw ESocketError("Connect to " + FName + " timed out after " + std::to_string(timeoutMs) + " ms");
      }
      if (prc < 0) {
        lastErrno = errno;
      } else {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        lastErrno = err;
      }
      rc = lastErrno == 0 ? 0 : -1;
    } else if (rc != 0) {
      lastErrno = errno;
    }
    if (rc == 0) {
      SetBlocking(fd, true);
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      FFd.store(fd);
      return;
    }
    lastError = ErrnoText(lastErrno);
    ::close(fd);
  }
  throw ESocketError("Cannot connect to " + FName + ": " + lastError, lastErrno);
}

TcpSocket::ReadStatus TcpSocket::Fill(int timeoutMs) {
  const int fd = FFd.load();
  if (fd < 0 || FShutdown.load()) return ReadStatus::Closed;

  // Keep the buffer compact: drop what was taken before growing it.
  if (FRecvStart > 0 && FRecvStart == FRecv.size()) {
    FRecv.clear();
    FRecvStart = 0;
  } else if (FRecvStart > 65536 && FRecvStart * 2 > FRecv.size()) {
    FRecv.erase(FRecv.begin(), FRecv.begin() + static_cast<std::ptrdiff_t>(FRecvStart));
    FRecvStart = 0;
  }
  constexpr std::size_t kChunk = 65536;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int rc = PollRetry(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (rc < 0) throw ESocketError("Read from " + FName + " failed: " + ErrnoText(errno), errno);
    if (rc == 0) return ReadStatus::Timeout;
    if (FShutdown.load()) return ReadStatus::Closed;

    const std::size_t old = FRecv.size();
    FRecv.resize(old + kChunk);
    ssize_t n;
    do {
      n = ::recv(fd, FRecv.data() + old, kChunk, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    FRecv.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) return ReadStatus::Data;
    if (n == 0 || FShutdown.load()) return ReadStatus::Closed;
    if (err == EAGAIN || err == EWOULDBLOCK) continue;  // woken without data after all
    throw ESocketError("Read from " + FName + " failed: " + ErrnoText(err), err);
  }
}

void TcpSocket::Consume(std::size_t n) {
  FRecvStart += std::min(n, BufferedSize());
  if (FRecvStart == FRecv.size()) {
    FRecv.clear();
    FRecvStart = 0;
  }
}

std::size_t TcpSocket::Take(std::uint8_t* dst, std::size_t room) {
  const std::size_t n = std::min(room, BufferedSize());
  if (n > 0) std::memcpy(dst, FRecv.data() + FRecvStart, n);
  Consume(n);
  return n;
}

void TcpSocket::ReadExact(void* dst, std::size_t n, int timeoutMs) {
  // Nothing is taken until all n bytes are there, so a failed read loses no data.
  while (BufferedSize() < n) {
    switch (Fill(timeoutMs)) {
      case ReadStatus::Data:
        break;
      case ReadStatus::Timeout:
        throw ESocketTimeout("Read from " + FName + " timed out after " + std::to_string(timeoutMs) + " ms");
      case ReadStatus::Closed:
        throw ESocketClosed("Connection to " + FName + " closed");
    }
  }
  Take(static_cast<std::uint8_t*>(dst), n);
}

void TcpSocket::BufferWrite(std::span<const std::uint8_t> bytes) {
  FSend.insert(FSend.end(), bytes.begin(), bytes.end());
}

void TcpSocket::Flush() {
  const int fd = FFd.load();
  if (fd < 0 || FShutdown.load()) {
    FSend.clear();
    throw ESocketError("Write to " + (FName.empty() ? std::string("socket") : FName) +
                       " failed: not connected");
  }
  std::size_t done = 0;
  while (done < FSend.size()) {
    ssize_t n = ::send(fd, FSend.data() + done, FSend.size() - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      FSend.clear();
      throw ESocketError("Write to " + FName + " failed: " + ErrnoText(err), err);
    }
    done += static_cast<std::size_t>(n);
  }
  FSend.clear();
}

void TcpSocket::Write(std::span<const std::uint8_t> bytes) {
  BufferWrite(bytes);
  Flush();
}

void TcpSocket::Shutdown() {
  std::lock_guard<std::mutex> lock(FFdLock);
  if (FShutdown.exchange(true)) return;
  const int fd = FFd.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void TcpSocket::Close() {
  std::lock_guard<std::mutex> lock(FFdLock);
  const int fd = FFd.exchange(-1);
  FShutdown.store(true);
  if (fd >= 0) {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }
}

std::string TcpSocket::LocalAddress() const {
  sockaddr_in a{};
  return SockName(FFd.load(), false, a) ? Dotted(a) : std::string();
}

std::uint16_t TcpSocket::LocalPort() const {
  sockaddr_in a{};
  return SockName(FFd.load(), false, a) ? ntohs(a.sin_port) : 0;
}

std::string TcpSocket::PeerAddress() const {
  sockaddr_in a{};
  return SockName(FFd.load(), true, a) ? Dotted(a) : std::string();
}

std::uint16_t TcpSocket::PeerPort() const {
  sockaddr_in a{};
  return SockName(FFd.load(), true, a) ? ntohs(a.sin_port) : 0;
}

// --- TcpListener ---------------------------------------------------------------------------

TcpListener::TcpListener() = default;

TcpListener::~TcpListener() {
  Close();
}

void TcpListener::Listen(const std::string& host, std::uint16_t port, int backlog) {
  if (FFd.load() >= 0) throw ESocketError("Listener on " + Where(FHost, FPort) + " already listening");
  const std::string bindHost = host == "0.0.0.0" ? std::string() : host;
  AddrList list;
  Resolve(bindHost, port, true, list);
  const addrinfo* ai = list.head;
  int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
  if (fd < 0) throw ESocketError("Cannot listen on " + Where(host, port) + ": " + ErrnoText(errno), errno);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, backlog) != 0) {
    const int err = errno;
    ::close(fd);
    throw ESocketError("Cannot listen on " + Where(host, port) + ": " + ErrnoText(err), err);
  }
  if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    throw ESocketError("Cannot listen on " + Where(host, port) + ": " + ErrnoText(err), err);
  }
  sockaddr_in bound{};
  SockName(fd, false, bound);
  FPort = ntohs(bound.sin_port);
  FHost = host.empty() ? std::string("0.0.0.0") : host;
  FStopped.store(false);
  FFd.store(fd);
}

std::unique_ptr<TcpSocket> TcpListener::Accept(int timeoutMs) {
  for (;;) {
    const int fd = FFd.load();
    if (fd < 0 || FStopped.load()) return nullptr;
    pollfd p[2] = {{fd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    int rc = PollRetry(p, 2, timeoutMs < 0 ? -1 : timeoutMs);
    if (rc < 0)
      throw ESocketError("Accept on " + Where(FHost, FPort) + " failed: " + ErrnoText(errno), errno);
    if (rc == 0) return nullptr;
    if (FStopped.load() || (p[1].revents & POLLIN)) return nullptr;
    int peer = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) {
      const int err = errno;
      // A connection that vanished before we took it; wait for the next one.
      if (err == EINTR || err == ECONNABORTED || err == EAGAIN || err == EPROTO) continue;
      throw ESocketError("Accept on " + Where(FHost, FPort) + " failed: " + ErrnoText(err), err);
    }
    int one = 1;
    ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<TcpSocket>(peer);
  }
}

void TcpListener::Shutdown() {
  if (FStopped.exchange(true)) return;
  if (FWake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(FWake[1], &byte, 1);
  }
}

void TcpListener::Close() {
  Shutdown();
  const int fd = FFd.exchange(-1);
  if (fd >= 0) ::close(fd);
  for (int& w : FWake) {
    if (w >= 0) ::close(w);
    w = -1;
  }
}

}  // namespace vantori
