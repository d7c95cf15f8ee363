#include "platform/UIniFile.h"

#include <algorithm>
#include <sstream>

#include "platform/UAtomicFile.h"
#include "platform/UPaths.h"
#include "platform/UTextHelpers.h"

namespace vantori {

namespace {

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

TIniFile::TIniFile(std::string path) : FPath(std::move(path)) {
  Reload();
}

void TIniFile::Reload() {
  std::lock_guard<std::mutex> lock(FLock);
  FSections.clear();
  std::string text;
  if (!ReadWholeFile(FPath, text)) return;
  std::istringstream in(text);
  std::string line;
  TSection* current = nullptr;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      if (close == std::string::npos) continue;
      const std::string name = Trim(line.substr(1, close - 1));
      current = Find(name);
      if (current == nullptr) {
        FSections.push_back(TSection{name, {}});
        current = &FSections.back();
      }
      continue;
    }
    const auto eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    auto it = std::find_if(current->Entries.begin(), current->Entries.end(),
                           [&](const auto& e) { return SameTextAscii(e.first, key); });
    const std::string value = Trim(line.substr(eq + 1));
    if (it == current->Entries.end()) current->Entries.emplace_back(key, value);
    // The first of two equal keys is the one that counts.
  }
}

TIniFile::TSection* TIniFile::Find(const std::string& section) {
  for (TSection& s : FSections)
    if (SameTextAscii(s.Name, section)) return &s;
  return nullptr;
}

const TIniFile::TSection* TIniFile::Find(const std::string& section) const {
  for (const TSection& s : FSections)
    if (SameTextAscii(s.Name, section)) return &s;
  return nullptr;
}

bool TIniFile::SectionExists(const std::string& section) const {
  std::lock_guard<std::mutex> lock(FLock);
  return Find(section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  std::lock_guard<std::mutex> lock(FLock);
  const TSection* s = Find(section);
  if (s == nullptr) return false;
  return std::any_of(s->Entries.begin(), s->Entries.end(),
                     [&](const auto& e) { return SameTextAscii(e.first, key); });
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  std::lock_guard<std::mutex> lock(FLock);
  const TSection* s = Find(section);
  if (s == nullptr) return def;
  for (const auto& e : s->Entries) {
    if (!SameTextAscii(e.first, key)) continue;
    const std::string& v = e.second;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
  }
  return def;
}

bool TIniFile::ReadBinary(const std::string& section, const std::string& key,
                          std::vector<std::uint8_t>& out) const {
  out.clear();
  if (!ValueExists(section, key)) return false;
  return HexDecode(ReadString(section, key, std::string()), out);
}

std::vector<std::string> TIniFile::ReadSectionKeys(const std::string& section) const {
  std::lock_guard<std::mutex> lock(FLock);
  std::vector<std::string> keys;
  if (const TSection* s = Find(section))
    for (const auto& e : s->Entries) keys.push_back(e.first);
  return keys;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
      key.find('=') != std::string::npos || Trim(key).empty())
    throw EIniError("Cannot write \"" + key + "\" into \"" + FPath + "\": not a valid ini entry");
  std::lock_guard<std::mutex> lock(FLock);
  const std::vector<TSection> before = FSections;
  TSection* s = Find(section);
  if (s == nullptr) {
    FSections.push_back(TSection{section, {}});
    s = &FSections.back();
  }
  auto it = std::find_if(s->Entries.begin(), s->Entries.end(),
                         [&](const auto& e) { return SameTextAscii(e.first, key); });
  if (it != s->Entries.end())
    it->second = value;
  else
    s->Entries.emplace_back(key, value);
  try {
    Save();
  } catch (...) {
    FSections = before;
    throw;
  }
}

void TIniFile::WriteBinary(const std::string& section, const std::string& key,
                           const std::vector<std::uint8_t>& value) {
  WriteString(section, key, HexEncode(value));
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  std::lock_guard<std::mutex> lock(FLock);
  TSection* s = Find(section);
  if (s == nullptr) return;
  const std::vector<TSection> before = FSections;
  const auto old = s->Entries.size();
  std::erase_if(s->Entries, [&](const auto& e) { return SameTextAscii(e.first, key); });
  if (s->Entries.size() == old) return;
  try {
    Save();
  } catch (...) {
    FSections = before;
    throw;
  }
}

void TIniFile::Save() {
  std::string out;
  for (const TSection& s : FSections) {
    if (!out.empty()) out += "\n";
    out += "[" + s.Name + "]\n";
    for (const auto& e : s.Entries) out += e.first + "=" + e.second + "\n";
  }
  const auto slash = FPath.find_last_of('/');
  if (slash != std::string::npos && slash > 0) EnsureDirectory(FPath.substr(0, slash));
  try {
    WriteFileAtomically(FPath, out);
  } catch (const EAtomicFileError& e) {
    throw EIniError(e.what());
  }
}

}  // namespace vantori
