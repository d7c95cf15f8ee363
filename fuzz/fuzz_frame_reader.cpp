// Arbitrary bytes as a peer's stream: the frame reader must end in a message, a closed or refused
// stream, or EParamError; never a crash, a hang or an allocation out of proportion to the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/UFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantori;
  if (size < 1) return 0;
  // The first byte picks the reader's options and how the stream is cut into reads.
  const std::uint8_t opts = data[0];
  const std::size_t chunks[] = {1, 2, 3, 7, 64, 4096, SIZE_MAX, SIZE_MAX};
  TMemoryByteSource source({data + 1, size - 1}, chunks[opts & 7]);
  TFrameReader reader(source);
  reader.SetNoLimit((opts & 0x08) != 0);
  reader.SetCloseMarkerEnds((opts & 0x10) != 0);

  TDataParameter message;
  for (std::size_t frames = 0;; ++frames) {
    // Every pass takes at least four bytes, so the stream must end within size / 4 + 1 passes.
    if (frames > size / 4 + 1) std::abort();
    FrameEnd end;
    try {
      end = reader.ReadFrame(message);
    } catch (const EParamError&) {
      return 0;  // the connection would be closed here
    }
    if (end != FrameEnd::Message) {
      if (end == FrameEnd::Refused && reader.LastHeader() <= reader.Limit()) std::abort();
      return 0;
    }
  }
}
