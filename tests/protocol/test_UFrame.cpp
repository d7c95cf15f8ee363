#include "protocol/UFrame.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <thread>

#include "protocol/ScriptedPeer.h"

namespace vantori {
namespace {

using testing::FrameOf;
using testing::Header;
using testing::Join;
using testing::Msg;

// A message whose encoding is exactly `size` bytes.
Bytes BodyOfSize(std::size_t size) {
  TDataParameter probe;
  Bytes filler(1000);
  probe.AddData("D", filler.data(), filler.size());
  const std::size_t overhead = probe.Encode().size() - filler.size();
  filler.assign(size - overhead, 0x5A);
  TDataParameter m;
  m.AddData("D", filler.data(), filler.size());
  auto enc = m.Encode();
  return Bytes(enc.begin(), enc.end());
}

// Reads frames until the stream ends; the types of the messages, then the end.
struct Outcome {
  std::vector<int> types;
  FrameEnd end;
};

Outcome ReadAll(TFrameReader& reader) {
  Outcome out;
  TDataParameter m;
  for (;;) {
    out.end = reader.ReadFrame(m);
    if (out.end != FrameEnd::Message) return out;
    // -1: an empty message; 0: a message without a type (the big filler frames)
    out.types.push_back(m.Count() == 0 ? -1 : m.Params(0).Name() == "T" ? m.Params(0).AsInteger() : 0);
  }
}

struct StreamCase {
  const char* name;
  Bytes stream;
  std::vector<int> types;
  FrameEnd end;
  bool noLimit = false;
  bool closeMarkerEnds = false;
};

class FrameStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FrameStream, DeliversAndEndsAsExpected) {
  const StreamCase& c = GetParam();
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    TMemoryByteSource source(c.stream, chunk);
    TFrameReader reader(source);
    reader.SetNoLimit(c.noLimit);
    reader.SetCloseMarkerEnds(c.closeMarkerEnds);
    const Outcome got = ReadAll(reader);
    EXPECT_EQ(got.types, c.types);
    EXPECT_EQ(got.end, c.end);
    if (chunk == 1 && c.stream.size() > 100000) break;  // byte-wise once is enough for the big ones
  }
}

const Bytes kLimitBody = BodyOfSize(proto::kMaxFrameLength);

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameStream,
    ::testing::Values(
        StreamCase{"two_messages", Join({FrameOf(Msg(1)), FrameOf(Msg(2))}), {1, 2}, FrameEnd::Closed},
        StreamCase{
            "zero_length_is_empty_message", Join({Header(0), FrameOf(Msg(3))}), {-1, 3}, FrameEnd::Closed},
        StreamCase{"keep_alives_skipped",
                   Join({Header(0x7FFFFFFF), FrameOf(Msg(1)), Header(0x7FFFFFFF), Header(0x7FFFFFFF),
                         FrameOf(Msg(2))}),
                   {1, 2},
                   FrameEnd::Closed},
        StreamCase{
            "exact_limit_accepted", Join({MakeFrame(kLimitBody), FrameOf(Msg(4))}), {0, 4}, FrameEnd::Closed},
        StreamCase{"limit_plus_one_refused",
                   Join({FrameOf(Msg(1)), Header(1048577), Bytes(16, 0)}),
                   {1},
                   FrameEnd::Refused},
        StreamCase{
            "negative_minus_one_refused", Join({Header(0xFFFFFFFF), FrameOf(Msg(1))}), {}, FrameEnd::Refused},
        StreamCase{
            "negative_min_refused", Join({Header(0x80000000), FrameOf(Msg(1))}), {}, FrameEnd::Refused},
        StreamCase{"lifted_limit_still_capped",
                   Join({Header(proto::kAbsoluteMaxFrameLength + 1)}),
                   {},
                   FrameEnd::Refused,
                   true},
        StreamCase{"lifted_limit_takes_longer_frame",
                   MakeFrame(BodyOfSize(proto::kMaxFrameLength + 1)),
                   {0},
                   FrameEnd::Closed,
                   true},
        StreamCase{"truncated_header", Bytes{5, 0}, {}, FrameEnd::Closed},
        StreamCase{"truncated_body", Join({Header(100), Bytes(10, 0)}), {}, FrameEnd::Closed},
        StreamCase{"close_marker_on_accepting_side",
                   Join({FrameOf(Msg(7)), Header(proto::kCloseMarker)}),
                   {7},
                   FrameEnd::CloseMarker,
                   false,
                   true},
        StreamCase{"close_marker_is_a_length_elsewhere", Header(proto::kCloseMarker), {}, FrameEnd::Refused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameReader, LimitIsCheckedBeforeTheBodyIsRead) {
  // A refused length must not consume (or wait for) the announced body.
  Bytes stream = Join({Header(0xFFFFFFF0), Bytes{1, 2, 3}});
  TMemoryByteSource source(stream);
  TFrameReader reader(source);
  std::span<const std::uint8_t> body;
  EXPECT_EQ(reader.ReadFrameBody(body), FrameEnd::Refused);
  EXPECT_EQ(reader.LastHeader(), 0xFFFFFFF0u);
  EXPECT_TRUE(body.empty());
}

TEST(FrameReader, UndecodableBodyRaisesParamError) {
  Bytes stream = Join({Header(3), Bytes{0xEE, 0xEE, 0xEE}});
  TMemoryByteSource source(stream);
  TFrameReader reader(source);
  TDataParameter m;
  EXPECT_THROW(reader.ReadFrame(m), EParamError);
}

// Time limits need a real descriptor: a socketpair stands in for the connection.
class FrameTimeout : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ours = std::make_unique<TcpSocket>(fds[0]);
    theirs = std::make_unique<TcpSocket>(fds[1]);
  }
  std::unique_ptr<TcpSocket> ours, theirs;
};

TEST_F(FrameTimeout, CoversHeaderAndBody) {
  struct Case {
    const char* name;
    Bytes sent;
  } cases[] = {
      {"silence", {}},
      {"half_header", {8, 0}},
      {"header_then_silence", Header(20)},
      {"part_of_body", Join({Header(20), Bytes(5, 1)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    if (!c.sent.empty()) theirs->Write(c.sent);
    TFrameReader reader(*ours);
    reader.SetTimeout(100);
    TDataParameter m;
    EXPECT_EQ(reader.ReadFrame(m), FrameEnd::TimedOut);
  }
}

TEST_F(FrameTimeout, ShutdownWakesAReaderWithoutLimit) {
  TFrameReader reader(*ours);
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ours->Shutdown();
  });
  TDataParameter m;
  EXPECT_EQ(reader.ReadFrame(m), FrameEnd::Closed);
  closer.join();
}

TEST_F(FrameTimeout, WritersProduceTheWireBytes) {
  TDataParameter m = Msg(9, "abc");
  WriteFrame(*ours, m);
  WriteCloseMarker(*ours);
  const Bytes expected = Join({FrameOf(Msg(9, "abc")), Bytes{0x0A, 0x00, 0xA0, 0x00}});
  Bytes got(expected.size());
  theirs->ReadExact(got.data(), got.size(), 2000);
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace vantori
