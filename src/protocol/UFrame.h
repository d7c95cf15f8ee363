#pragma once
// Length-prefixed frames: a 4-byte little-endian length, then that many bytes of one encoded
// message (UParameter.h). The same reader and writer serve the client connections
// (UClientSockCtrl.h), the reference servers and the tools.
//
// Reading (TFrameReader::ReadFrame):
//   * a header of kKeepAliveHeader carries no body and is skipped;
//   * the length is an unsigned 32-bit value; above Limit() the frame is refused before a single
//     byte is allocated for it (Refused). Limit() is kMaxFrameLength, or kAbsoluteMaxFrameLength
//     when the limit is lifted: nothing is ever allocated past that;
//   * every wait for more bytes, in the header and in the body, is limited to Timeout()
//     (-1: no limit); a peer that stalls mid-frame ends the stream (TimedOut);
//   * a body that does not decode raises EParamError (the caller closes the connection).
//   The caller closes the connection on any result but Message.
//
// Server side, in short (see also TcpSocket.h):
//   TFrameReader reader(*peer);                 // peer: TcpSocket from TcpListener::Accept
//   reader.SetTimeout(30000);
//   reader.SetCloseMarkerEnds(true);            // the client's close marker ends the stream
//   TDataParameter request;
//   while (reader.ReadFrame(request) == FrameEnd::Message) {
//     TDataParameter reply;  ...
//     WriteFrame(*peer, reply);                 // raises ESocketError when the peer is gone
//   }
//   peer->Close();

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/TcpSocket.h"
#include "protocol/ProtocolConstants.h"
#include "protocol/UParameter.h"

namespace vantori {

// Where the frame reader gets its bytes from: a socket, or memory (tests, the fuzzer).
class IByteSource {
 public:
  enum class Status { Data, Timeout, Closed };
  struct Result {
    Status status;
    std::size_t count;  // bytes copied; > 0 exactly when status is Data
  };
  virtual ~IByteSource() = default;
  // Waits up to timeoutMs (-1: no limit) for data and copies at most `room` (> 0) bytes to dst.
  // Failures other than a close or a timeout raise.
  virtual Result ReadSome(std::uint8_t* dst, std::size_t room, int timeoutMs) = 0;
};

// A TcpSocket as a byte source; takes what is already in the socket's receive buffer first.
class TSocketByteSource final : public IByteSource {
 public:
  explicit TSocketByteSource(TcpSocket& socket) : FSocket(socket) {}
  Result ReadSome(std::uint8_t* dst, std::size_t room, int timeoutMs) override;

 private:
  TcpSocket& FSocket;
};

// A fixed byte string handed out in pieces of at most `chunk` bytes; Closed at the end.
class TMemoryByteSource final : public IByteSource {
 public:
  explicit TMemoryByteSource(std::span<const std::uint8_t> bytes, std::size_t chunk = SIZE_MAX)
      : FBytes(bytes), FChunk(chunk == 0 ? 1 : chunk) {}
  Result ReadSome(std::uint8_t* dst, std::size_t room, int timeoutMs) override;

 private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
  std::size_t FChunk;
};

enum class FrameEnd {
  Message,      // one message was decoded
  Closed,       // the peer closed (or the connection was shut down) between or inside frames
  TimedOut,     // no byte arrived within the timeout
  Refused,      // the length is above the limit
  CloseMarker,  // the close marker arrived (only with SetCloseMarkerEnds(true))
};

class TFrameReader {
 public:
  explicit TFrameReader(IByteSource& source);
  explicit TFrameReader(TcpSocket& socket);
  ~TFrameReader();
  TFrameReader(const TFrameReader&) = delete;
  TFrameReader& operator=(const TFrameReader&) = delete;

  int Timeout() const { return FTimeout; }
  void SetTimeout(int ms) { FTimeout = ms < 0 ? -1 : ms; }
  // Lifts the limit from kMaxFrameLength to kAbsoluteMaxFrameLength.
  bool NoLimit() const { return FNoLimit; }
  void SetNoLimit(bool on) { FNoLimit = on; }
  std::uint32_t Limit() const { return FNoLimit ? proto::kAbsoluteMaxFrameLength : proto::kMaxFrameLength; }
  // Readers on the accepting side treat a kCloseMarker header as the end of the stream.
  void SetCloseMarkerEnds(bool on) { FCloseMarkerEnds = on; }

  // Reads the next frame, skipping keep-alives, and decodes it into `message` (which Decode clears).
  // Raises EParamError when the body does not decode, ESocketError on a transport failure.
  FrameEnd ReadFrame(TDataParameter& message);
  // The same without decoding: `body` views the frame's bytes until the next read.
  FrameEnd ReadFrameBody(std::span<const std::uint8_t>& body);

  // The last header read (for a refused length, the length that was refused).
  std::uint32_t LastHeader() const { return FLastHeader; }

 private:
  // Fills dst completely; false with FEnd set when the stream ended first.
  bool ReadFull(std::uint8_t* dst, std::size_t n);
  bool ReadBody(std::uint32_t length);

  std::unique_ptr<IByteSource> FOwned;
  IByteSource& FSource;
  int FTimeout = -1;
  bool FNoLimit = false;
  bool FCloseMarkerEnds = false;
  std::uint32_t FLastHeader = 0;
  FrameEnd FEnd = FrameEnd::Closed;
  Bytes FBody;
};

// The 4 header bytes of a length (little-endian).
void PutFrameHeader(std::uint8_t out[4], std::uint32_t value);
std::uint32_t GetFrameHeader(const std::uint8_t in[4]);
// A whole frame: header + body.
Bytes MakeFrame(std::span<const std::uint8_t> body);

// Writes header + body as one buffered write. On failure the unsent bytes are discarded and
// ESocketError propagates; the caller closes the connection.
void WriteFrame(TcpSocket& socket, std::span<const std::uint8_t> body);
// Encodes the message and writes it as one frame.
void WriteFrame(TcpSocket& socket, TDataParameter& message);
// The four bytes 0A 00 A0 00, alone, with the same failure handling.
void WriteCloseMarker(TcpSocket& socket);
// A header with no body (keep-alives from servers and tests).
void WriteFrameHeader(TcpSocket& socket, std::uint32_t value);

}  // namespace vantori
