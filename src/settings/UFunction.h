#pragma once
// Small stateless helpers shared by every subsystem, the program's own exception
// and the text scrambler used on the wire.
//
// Texts are byte strings in the Korean ANSI code page (cp949); std::string holds
// them as bytes and nothing here assumes UTF-8.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantori {

// The program's exception: a message and an integer code. Window-message
// handlers return the code of an EKXError and -1 for any other error.
class EKXError : public std::runtime_error {
 public:
  explicit EKXError(const std::string& message, std::int32_t code = 0)
      : std::runtime_error(message), FCode(code) {}
  std::int32_t Code() const { return FCode; }

 private:
  std::int32_t FCode;
};

// The member has not enough coins.
inline constexpr std::int32_t kErrNotEnoughCoins = 25007;

// Files kept in the data root (the program's folder); append to UPaths::DataRoot().
inline constexpr char PassFilePath[] = "/kxsp.dat";
inline constexpr char NoteFilePath[] = "/Note.xml";
inline constexpr char SentNoteFilePath[] = "/SendNote.xml";

// ---- Text and numbers ------------------------------------------------------------

// Prefixes "0" until the text has n bytes; a longer text stays whole.
std::string PadLeftZeros(std::string_view text, int n);
// Signed decimal text of the number, then PadLeftZeros ("-5", 4 -> "00-5").
std::string IntToZeroPadded(std::int64_t number, int n);
// Prefixes blanks up to n bytes.
std::string PadLeftBlanks(std::string_view text, int n);
// Appends blanks up to n bytes.
std::string PadRightBlanks(std::string_view text, int n);

// Zero-fills n + 1 bytes of field, then copies at most n bytes of text into it;
// the field always ends in at least one zero byte. field must hold n + 1 bytes.
void CopyToField(void* field, std::size_t n, std::string_view text);

// "1023 바이트", "1.0 KB", "1.00 MB", "1.00 GB" (cp949 text, point as separator).
std::string FormatSize(std::int64_t bytes);
// "hh:mm:ss" with at least two hour digits: 3725 -> "01:02:05", 360000 -> "100:00:00".
// Negative seconds count as 0.
std::string FormatSeconds(std::int64_t seconds);
// Six upper-case hex digits red, green, blue of a colour stored as 0x00BBGGRR;
// a value with a non-zero top byte (not a plain colour) gives an empty text.
std::string ColorToHex(std::uint32_t colour);
// The four bytes of a network-order address as stored in memory, lowest first:
// the in-memory value of inet_addr("1.2.3.4") gives "1.2.3.4".
std::string IPv4ToText(std::uint32_t address);
// Transfer block size in bytes for the "UpType" setting.
std::int32_t BlockSizeForIndex(std::int32_t index);

// ---- System ----------------------------------------------------------------------

// The first IPv4 address of the name in dotted form; the name itself when the
// lookup fails.
std::string ResolveHost(std::string_view name);
// The machine's volume serial stand-in (stable per machine; 0 when unknown).
std::uint32_t VolumeSerialC();
// Size in bytes of a file opened for reading; raises EKXError when it cannot be opened.
std::int64_t FileSizeOf(const std::string& path);
// "major.minor.release.build" of a file's version record; "0.0.0.0" when there is none.
std::string FileVersionText(const std::string& path);
// Appends folder + "/" + name of every matching file below folder to list, and of
// every subfolder (after the files of its parent, depth first). Names beginning
// with "." are left out; a folder reached twice (through a link) is listed but not
// entered again. The mask is a wildcard pattern ("*.*", "*.mp3"), case-insensitive.
void ListFilesRecursive(const std::string& folder, const std::string& mask, std::vector<std::string>& list);

// FileChecksum(path) — the sampled checksum of the upload engine — lives with that
// engine.

// ---- Scrambler -------------------------------------------------------------------

// Turns a byte string into one without zero bytes; every call gives a different
// result for the same text. Raises EKXError only when no layout without a zero
// byte can be found (texts of many thousand bytes).
std::string ScrambleText(std::string_view text);
// Recovers the text of ScrambleText. Raises EKXError when the text is malformed
// (shorter than its entries say); never reads past its end. A count of 0 or less
// gives an empty text.
std::string UnscrambleText(std::string_view text);
// UnscrambleText that reports a malformed text as false instead of raising.
bool TryUnscrambleText(std::string_view text, std::string& out) noexcept;

// The word layout shared by the scrambler and the stored passwords: word 0 a random
// number, word 1 the byte count plus kScrambleCountOffset, then per byte c a random
// a, b = a + c (32-bit wrap-around) and, when b is odd and positive, one more
// random word. All words 32-bit little-endian. Random words are drawn below the
// given bounds; avoid (1..255, or -1) is a byte value that no word may contain.
struct TCountedTextBounds {
  std::uint32_t First;
  std::uint32_t Char;
  std::uint32_t Extra;
};
std::vector<std::uint8_t> EncodeCountedText(std::string_view text, const TCountedTextBounds& bounds,
                                            int avoid = -1);
// Reads the layout above; false when the data end before the entries do. A count
// of 0 or less gives an empty text.
bool DecodeCountedText(const std::uint8_t* data, std::size_t size, std::string& out);

// A 32-bit random number below bound from the per-thread generator (seeded from
// the system's cryptographic source).
std::uint32_t RandomBelow(std::uint32_t bound);

}  // namespace vantori
