#include "protocol/UFrame.h"

#include <algorithm>
#include <cstring>

namespace vantori {

// --- byte sources --------------------------------------------------------------------------

IByteSource::Result TSocketByteSource::ReadSome(std::uint8_t* dst, std::size_t room, int timeoutMs) {
  if (FSocket.BufferedSize() == 0) {
    switch (FSocket.Fill(timeoutMs)) {
      case TcpSocket::ReadStatus::Data:
        break;
      case TcpSocket::ReadStatus::Timeout:
        return {Status::Timeout, 0};
      case TcpSocket::ReadStatus::Closed:
        return {Status::Closed, 0};
    }
  }
  return {Status::Data, FSocket.Take(dst, room)};
}

IByteSource::Result TMemoryByteSource::ReadSome(std::uint8_t* dst, std::size_t room, int /*timeoutMs*/) {
  if (FPos >= FBytes.size()) return {Status::Closed, 0};
  const std::size_t n = std::min({room, FChunk, FBytes.size() - FPos});
  std::memcpy(dst, FBytes.data() + FPos, n);
  FPos += n;
  return {Status::Data, n};
}

// --- headers -------------------------------------------------------------------------------

void PutFrameHeader(std::uint8_t out[4], std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
  out[2] = static_cast<std::uint8_t>(value >> 16);
  out[3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t GetFrameHeader(const std::uint8_t in[4]) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

Bytes MakeFrame(std::span<const std::uint8_t> body) {
  Bytes frame(4 + body.size());
  PutFrameHeader(frame.data(), static_cast<std::uint32_t>(body.size()));
  if (!body.empty()) std::memcpy(frame.data() + 4, body.data(), body.size());
  return frame;
}

// --- reading -------------------------------------------------------------------------------

TFrameReader::TFrameReader(IByteSource& source) : FSource(source) {}

TFrameReader::TFrameReader(TcpSocket& socket)
    : FOwned(std::make_unique<TSocketByteSource>(socket)), FSource(*FOwned) {}

TFrameReader::~TFrameReader() = default;

bool TFrameReader::ReadFull(std::uint8_t* dst, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const IByteSource::Result r = FSource.ReadSome(dst + got, n - got, FTimeout);
    switch (r.status) {
      case IByteSource::Status::Data:
        got += r.count;
        break;
      case IByteSource::Status::Timeout:
        FEnd = FrameEnd::TimedOut;
        return false;
      case IByteSource::Status::Closed:
        FEnd = FrameEnd::Closed;
        return false;
    }
  }
  return true;
}

bool TFrameReader::ReadBody(std::uint32_t length) {
  // Grow with what actually arrives, so a peer that announces a large frame and sends little
  // never makes us hold the whole announced size.
  constexpr std::size_t kStep = 64 * 1024;
  FBody.clear();
  std::size_t got = 0;
  while (got < length) {
    const std::size_t want = std::min<std::size_t>(length, std::max(got * 2, got + kStep));
    FBody.resize(want);
    if (!ReadFull(FBody.data() + got, want - got)) return false;
    got = want;
  }
  return true;
}

FrameEnd TFrameReader::ReadFrameBody(std::span<const std::uint8_t>& body) {
  body = {};
  for (;;) {
    std::uint8_t header[4];
    if (!ReadFull(header, 4)) return FEnd;
    const std::uint32_t length = GetFrameHeader(header);
    FLastHeader = length;
    if (length == proto::kKeepAliveHeader) continue;
    if (FCloseMarkerEnds && length == proto::kCloseMarker) return FrameEnd::CloseMarker;
    if (length > Limit()) return FrameEnd::Refused;
    if (!ReadBody(length)) return FEnd;
    body = {FBody.data(), length};
    return FrameEnd::Message;
  }
}

FrameEnd TFrameReader::ReadFrame(TDataParameter& message) {
  std::span<const std::uint8_t> body;
  const FrameEnd end = ReadFrameBody(body);
  if (end != FrameEnd::Message) return end;
  message.Decode(body.data(), body.size());
  return FrameEnd::Message;
}

// --- writing -------------------------------------------------------------------------------

void WriteFrame(TcpSocket& socket, std::span<const std::uint8_t> body) {
  if (body.size() > 0xFFFFFFFFu)
    throw ESocketError("Frame of " + std::to_string(body.size()) + " bytes too long");
  std::uint8_t header[4];
  PutFrameHeader(header, static_cast<std::uint32_t>(body.size()));
  socket.CancelWrites();
  socket.BufferWrite(header, 4);
  socket.BufferWrite(body);
  socket.Flush();  // discards what it could not send, then raises
}

void WriteFrame(TcpSocket& socket, TDataParameter& message) {
  WriteFrame(socket, message.Encode());
}

void WriteFrameHeader(TcpSocket& socket, std::uint32_t value) {
  std::uint8_t header[4];
  PutFrameHeader(header, value);
  socket.CancelWrites();
  socket.BufferWrite(header, 4);
  socket.Flush();
}

void WriteCloseMarker(TcpSocket& socket) {
  WriteFrameHeader(socket, proto::kCloseMarker);
}

}  // namespace vantori
