#pragma once
// Status codes of download and upload items and their texts.

#include <cstdint>
#include <initializer_list>

namespace vantori {

enum class TTransferStatus : std::uint8_t {
  Waiting = 1,
  Stopped = 2,
  Failed = 3,
  Held = 4,
  NoFile = 5,  // uploads only
  Running = 6,
  Retrying = 7,
  Done = 8,
  Querying = 9,  // uploads only
  Ready = 10,    // uploads only
};

// Bit n of a status set stands for status n.
constexpr std::uint16_t StatusBit(TTransferStatus status) {
  return static_cast<std::uint16_t>(1u << static_cast<unsigned>(status));
}
constexpr std::uint16_t StatusSet(std::initializer_list<TTransferStatus> statuses) {
  std::uint16_t mask = 0;
  for (TTransferStatus s : statuses) mask = static_cast<std::uint16_t>(mask | StatusBit(s));
  return mask;
}

// The short label of the list's status column (the same for both queues); "" for no code.
const char* StatusLabel(TTransferStatus status);
// The long text that becomes an item's status message when the status is set.
const char* DownStatusText(TTransferStatus status);
const char* UpStatusText(TTransferStatus status);

}  // namespace vantori
