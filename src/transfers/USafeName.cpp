#include "transfers/USafeName.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/UCodePage.h"

namespace vantori {

namespace {

bool IsForbiddenByte(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
      return true;
    default:
      return false;
  }
}

bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Cuts a UTF-8 text to at most `limit` bytes without splitting a character.
std::string CutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Normalize(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().string();
}

}  // namespace

bool HasForbiddenNameChar(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      ++i;  // the trail byte of a double-byte character is never one of the forbidden ones
      continue;
    }
    if (IsForbiddenByte(c)) return true;
  }
  return false;
}

std::string SafeLocalName(std::string_view serverName) {
  // Replace the forbidden single bytes first, walking double-byte characters whole.
  std::string cleaned;
  cleaned.reserve(serverName.size());
  for (std::size_t i = 0; i < serverName.size(); ++i) {
    const auto c = static_cast<unsigned char>(serverName[i]);
    if (IsLeadByte(c) && i + 1 < serverName.size() && static_cast<unsigned char>(serverName[i + 1]) >= 0x41) {
      cleaned += serverName[i];
      cleaned += serverName[i + 1];
      ++i;
      continue;
    }
    cleaned += IsForbiddenByte(c) ? '_' : static_cast<char>(c);
  }
  std::string name = Cp949ToUtf8Lossy(cleaned, "_");
  // Leading blanks and trailing blanks and dots are lost by many tools; "." and ".." name folders.
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(name.begin());
  if (name.empty()) return "_";
  if (name.size() > kMaxLocalNameBytes) {
    // Keep a short extension so the file still opens with the right program.
    const std::size_t dot = name.rfind('.');
    std::string ext =
        (dot != std::string::npos && name.size() - dot <= 16) ? name.substr(dot) : std::string();
    name = CutUtf8(name.substr(0, name.size() - ext.size()), kMaxLocalNameBytes - ext.size()) + ext;
  }
  return name;
}

std::string SafeFolderJoin(const std::string& root, const std::vector<std::string>& serverFolders) {
  std::string path = root;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  for (const std::string& folder : serverFolders) path += "/" + SafeLocalName(folder);
  return path;
}

std::string SafeJoin(const std::string& root, const std::vector<std::string>& serverFolders,
                     std::string_view serverFileName) {
  return SafeFolderJoin(root, serverFolders) + "/" + SafeLocalName(serverFileName);
}

bool IsLexicallyInside(const std::string& root, const std::string& path) {
  if (root.empty() || path.empty()) return false;
  std::string r = Normalize(root);
  const std::string p = Normalize(path);
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (r == "/") return p.size() > 1 && p[0] == '/';
  return p.size() > r.size() + 1 && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/';
}

bool IsSafelyInside(const std::string& root, const std::string& path) {
  if (!IsLexicallyInside(root, path)) return false;
  char resolvedRoot[PATH_MAX];
  if (::realpath(root.c_str(), resolvedRoot) == nullptr) return false;
  const std::string parent = std::filesystem::path(Normalize(path)).parent_path().string();
  char resolvedParent[PATH_MAX];
  if (::realpath(parent.c_str(), resolvedParent) == nullptr) return false;
  const std::string rr = resolvedRoot;
  const std::string rp = resolvedParent;
  if (rp == rr) return true;
  return IsLexicallyInside(rr, rp);
}

std::string FreeSiblingName(const std::string& path) {
  const std::filesystem::path p(path);
  const std::string folder = p.parent_path().string();
  const std::string stem = p.stem().string();
  const std::string ext = p.extension().string();
  for (int n = 1; n < 100000; ++n) {
    std::string candidate =
        (folder.empty() ? std::string() : folder + "/") + stem + " (" + std::to_string(n) + ")" + ext;
    if (!Exists(candidate)) return candidate;
  }
  return path;
}

}  // namespace vantori
