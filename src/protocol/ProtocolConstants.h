#pragma once
// The values that the client, the reference servers and the tools must agree on.
// Everything that a peer has to match byte for byte lives here and nowhere else;
// `vtwire constants` prints the implementer-chosen ones.

#include <cstdint>

namespace vantori::proto {

// --- Chosen by us (peers must use the same values) ---------------------------------

// Subtracted from an Encript seed before its halves are swapped for transport.
inline constexpr std::uint32_t kSeedOffset = 0x5A17C3E9u;

// Added to the character count in the second word of a scrambled text (and of a
// stored password) so that the count never travels as itself.
inline constexpr std::uint32_t kScrambleCountOffset = 0x1E4C7A31u;

// The text form of date-times that travel as strings (the flat-rate end "Credit" of the login
// information): strftime layout, local time, e.g. "2024-05-01 13:45:00".
inline constexpr char kDateTimeTextFormat[] = "%Y-%m-%d %H:%M:%S";

// The service's web site (web login, home and help pages) listens on BasePort plus this
// unless its address is set in the server-address file.
inline constexpr std::uint16_t kWebSitePortOffset = 80;

// --- Fixed by the wire format ---------------------------------------------------------

inline constexpr std::uint16_t kDefaultBasePort = 7128;
inline constexpr std::uint16_t kDownloadPortOffset = 3;
inline constexpr std::uint16_t kUploadPortOffset = 4;
inline constexpr std::uint16_t kChatLobbyPortOffset = 5;
inline constexpr std::uint16_t kChatRoomPortOffset = 6;
inline constexpr std::uint16_t kLocalListenerPortOffset = 10;

// Frame headers with a meaning of their own.
inline constexpr std::uint32_t kKeepAliveHeader = 0x7FFFFFFFu;
inline constexpr std::uint32_t kCloseMarker = 0x00A0000Au;
// Largest frame body a reader accepts unless told otherwise.
inline constexpr std::uint32_t kMaxFrameLength = 1048576u;
// Hard ceiling even for readers that lift the limit: nothing is ever allocated past it.
inline constexpr std::uint32_t kAbsoluteMaxFrameLength = 64u * 1024u * 1024u;

// The fixed key of web-link tokens.
inline constexpr char kLinkKey[] = "QWZTPLM603918274";

}  // namespace vantori::proto
