#pragma once
// Names that come from a server become local file and folder names here, and nothing else
// builds a local path from them. A name is made safe, never trusted: separators of any kind,
// "." and "..", drive letters and colons, NUL and control characters, the characters that
// local tools cannot take in a file name, trailing dots and blanks and over-long names are all
// turned into something harmless, so that the resulting path always lies inside the chosen
// download folder.
//
// Server names are cp949 byte strings; local names are the file system's own (UTF-8).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantori {

// Longest local name component in bytes.
inline constexpr std::size_t kMaxLocalNameBytes = 255;
// Longest server file name that the download request can carry (char[256]).
inline constexpr std::size_t kMaxServerNameBytes = 255;

// One safe local name component (UTF-8) for a cp949 name from a server. Never empty, never
// "." or "..", never contains '/', and never longer than kMaxLocalNameBytes.
std::string SafeLocalName(std::string_view serverName);

// True when the cp949 name holds one of the characters that the download check refuses:
// '"', '*', '/', ':', '<', '>', '?', '\', '|', or a control character.
bool HasForbiddenNameChar(std::string_view name);

// root + "/" + the safe form of each server folder name + "/" + the safe file name.
std::string SafeJoin(const std::string& root, const std::vector<std::string>& serverFolders,
                     std::string_view serverFileName);
// root + "/" + the safe form of each server folder name.
std::string SafeFolderJoin(const std::string& root, const std::vector<std::string>& serverFolders);

// Lexically: path, with "." and ".." resolved, lies strictly below root.
bool IsLexicallyInside(const std::string& root, const std::string& path);

// The final check before a file is created or opened for writing: the path lies below root
// lexically, and its existing parent folder, with every symbolic link resolved, lies inside the
// resolved root. (The file itself is opened without following a link.)
bool IsSafelyInside(const std::string& root, const std::string& path);

// A sibling name that does not exist yet: "name (1).ext", "name (2).ext", ...
std::string FreeSiblingName(const std::string& path);

}  // namespace vantori
