#include "platform/URegistry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/UAtomicFile.h"
#include "platform/UFileLock.h"
#include "platform/UPaths.h"
#include "platform/UTextHelpers.h"

namespace vantori {

namespace {

constexpr auto kStoreLockWait = std::chrono::milliseconds(5000);

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
  return out;
}

// Reads a quoted text at line[pos]; pos ends after the closing quote.
bool Unquote(const std::string& line, std::size_t& pos, std::string& out) {
  out.clear();
  if (pos >= line.size() || line[pos] != '"') return false;
  ++pos;
  while (pos < line.size()) {
    const char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size()) return false;
    const char e = line[pos++];
    if (e == 'x') {
      std::vector<std::uint8_t> b;
      if (pos + 2 > line.size() || !HexDecode(std::string_view(line).substr(pos, 2), b)) return false;
      out.push_back(static_cast<char>(b[0]));
      pos += 2;
    } else {
      out.push_back(e);
    }
  }
  return false;
}

const char* TypeName(TRegDataType t) {
  switch (t) {
    case TRegDataType::String:
      return "String";
    case TRegDataType::Integer:
      return "Integer";
    case TRegDataType::Boolean:
      return "Boolean";
    case TRegDataType::Binary:
      return "Binary";
  }
  return "String";
}

bool ParseValue(const std::string& line, TRegValue& v) {
  std::size_t pos = 0;
  if (!Unquote(line, pos, v.Name)) return false;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  const auto colon = line.find(':', pos);
  if (colon == std::string::npos) return false;
  const std::string type = line.substr(pos, colon - pos);
  std::string rest = line.substr(colon + 1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.pop_back();
  if (type == "String") {
    v.Type = TRegDataType::String;
    std::size_t p = 0;
    return Unquote(rest, p, v.Text) && p == rest.size();
  }
  if (type == "Integer") {
    v.Type = TRegDataType::Integer;
    char* end = nullptr;
    const long long n = std::strtoll(rest.c_str(), &end, 10);
    if (rest.empty() || *end != '\0' || n < INT32_MIN || n > INT32_MAX) return false;
    v.Int = static_cast<std::int32_t>(n);
    return true;
  }
  if (type == "Boolean") {
    v.Type = TRegDataType::Boolean;
    if (rest == "true")
      v.Int = 1;
    else if (rest == "false")
      v.Int = 0;
    else
      return false;
    return true;
  }
  if (type == "Binary") {
    v.Type = TRegDataType::Binary;
    return HexDecode(rest, v.Binary);
  }
  return false;
}

}  // namespace

std::string NormaliseRegistryKey(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '/' || c == '\\') {
      if (!out.empty() && out.back() != '\\') out.push_back('\\');
    } else {
      out.push_back(c);
    }
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

TRegistryStore::TRegistryStore(std::string path) : FPath(std::move(path)) {
  std::string text;
  if (ReadWholeFile(FPath, text)) ParseInto(text, FKeys);
}

TRegistryStore::~TRegistryStore() {
  try {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    if (!FPending.empty()) SaveLocked();
  } catch (...) {
    // Nothing to report to at this point; the file keeps its last good content.
  }
}

std::string TRegistryStore::DefaultPath() {
  return ConfigRoot() + "/registry.txt";
}

void TRegistryStore::ParseInto(const std::string& text, std::vector<TKey>& keys) {
  keys.clear();
  std::istringstream in(text);
  std::string line;
  TKey* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const auto close = line.rfind(']');
      if (close == std::string::npos || close == 0) {
        current = nullptr;
        continue;
      }
      const std::string name = NormaliseRegistryKey(line.substr(1, close - 1));
      current = FindKey(keys, name);
      if (current == nullptr) {
        keys.push_back(TKey{name, {}});
        current = &keys.back();
      }
      continue;
    }
    TRegValue v;
    if (current == nullptr || !ParseValue(line, v)) continue;
    Apply(keys, TOp{false, false, current->Name, v});
    current = FindKey(keys, current->Name);
  }
}

std::string TRegistryStore::SerialiseKeys(const std::vector<TKey>& keys) {
  std::string out = "; Vantori settings store\n";
  for (const TKey& k : keys) {
    out += "\n[" + k.Name + "]\n";
    for (const TRegValue& v : k.Values) {
      out += Quote(v.Name) + " = " + TypeName(v.Type) + ":";
      switch (v.Type) {
        case TRegDataType::String:
          out += Quote(v.Text);
          break;
        case TRegDataType::Integer:
          out += std::to_string(v.Int);
          break;
        case TRegDataType::Boolean:
          out += v.Int != 0 ? "true" : "false";
          break;
        case TRegDataType::Binary:
          out += HexEncode(v.Binary);
          break;
      }
      out += "\n";
    }
  }
  return out;
}

std::string TRegistryStore::Serialise() const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return SerialiseKeys(FKeys);
}

TRegistryStore::TKey* TRegistryStore::FindKey(std::vector<TKey>& keys, const std::string& key) {
  for (TKey& k : keys)
    if (SameTextAscii(k.Name, key)) return &k;
  return nullptr;
}

const TRegistryStore::TKey* TRegistryStore::FindKey(const std::vector<TKey>& keys, const std::string& key) {
  for (const TKey& k : keys)
    if (SameTextAscii(k.Name, key)) return &k;
  return nullptr;
}

void TRegistryStore::Apply(std::vector<TKey>& keys, const TOp& op) {
  TKey* k = FindKey(keys, op.Key);
  if (k == nullptr) {
    if (op.Delete) return;
    keys.push_back(TKey{op.Key, {}});
    k = &keys.back();
  }
  if (op.KeyOnly) return;
  auto it = std::find_if(k->Values.begin(), k->Values.end(),
                         [&](const TRegValue& v) { return SameTextAscii(v.Name, op.Value.Name); });
  if (op.Delete) {
    if (it != k->Values.end()) k->Values.erase(it);
    return;
  }
  if (it != k->Values.end()) {
    const std::string name = it->Name;  // keep the stored spelling
    *it = op.Value;
    it->Name = name;
  } else {
    k->Values.push_back(op.Value);
  }
}

bool TRegistryStore::KeyExists(const std::string& key) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FindKey(FKeys, NormaliseRegistryKey(key)) != nullptr;
}

void TRegistryStore::CreateKey(const std::string& key) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const std::string k = NormaliseRegistryKey(key);
  if (FindKey(FKeys, k) != nullptr) return;
  TOp op;
  op.KeyOnly = true;
  op.Key = k;
  Change(std::move(op));
}

std::optional<TRegDataType> TRegistryStore::GetDataType(const std::string& key,
                                                        const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TKey* k = FindKey(FKeys, NormaliseRegistryKey(key));
  if (k == nullptr) return std::nullopt;
  for (const TRegValue& v : k->Values)
    if (SameTextAscii(v.Name, name)) return v.Type;
  return std::nullopt;
}

bool TRegistryStore::ValueExists(const std::string& key, const std::string& name) const {
  return GetDataType(key, name).has_value();
}

const TRegValue& TRegistryStore::Require(const std::string& key, const std::string& name) const {
  const TKey* k = FindKey(FKeys, NormaliseRegistryKey(key));
  if (k != nullptr)
    for (const TRegValue& v : k->Values)
      if (SameTextAscii(v.Name, name)) return v;
  throw ERegistryError("Value '" + name + "' does not exist");
}

std::string TRegistryStore::ReadString(const std::string& key, const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TRegValue& v = Require(key, name);
  if (v.Type != TRegDataType::String) throw ERegistryError("Invalid data type for '" + name + "'");
  return v.Text;
}

std::int32_t TRegistryStore::ReadInteger(const std::string& key, const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TRegValue& v = Require(key, name);
  if (v.Type != TRegDataType::Integer && v.Type != TRegDataType::Boolean)
    throw ERegistryError("Invalid data type for '" + name + "'");
  return v.Int;
}

bool TRegistryStore::ReadBool(const std::string& key, const std::string& name) const {
  return ReadInteger(key, name) != 0;
}

std::vector<std::uint8_t> TRegistryStore::ReadBinary(const std::string& key, const std::string& name) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TRegValue& v = Require(key, name);
  if (v.Type != TRegDataType::Binary) throw ERegistryError("Invalid data type for '" + name + "'");
  return v.Binary;
}

void TRegistryStore::WriteString(const std::string& key, const std::string& name, const std::string& value) {
  TOp op;
  op.Key = NormaliseRegistryKey(key);
  op.Value.Name = name;
  op.Value.Type = TRegDataType::String;
  op.Value.Text = value;
  Change(std::move(op));
}

void TRegistryStore::WriteInteger(const std::string& key, const std::string& name, std::int32_t value) {
  TOp op;
  op.Key = NormaliseRegistryKey(key);
  op.Value.Name = name;
  op.Value.Type = TRegDataType::Integer;
  op.Value.Int = value;
  Change(std::move(op));
}

void TRegistryStore::WriteBool(const std::string& key, const std::string& name, bool value) {
  TOp op;
  op.Key = NormaliseRegistryKey(key);
  op.Value.Name = name;
  op.Value.Type = TRegDataType::Boolean;
  op.Value.Int = value ? 1 : 0;
  Change(std::move(op));
}

void TRegistryStore::WriteBinary(const std::string& key, const std::string& name,
                                 const std::vector<std::uint8_t>& value) {
  TOp op;
  op.Key = NormaliseRegistryKey(key);
  op.Value.Name = name;
  op.Value.Type = TRegDataType::Binary;
  op.Value.Binary = value;
  Change(std::move(op));
}

bool TRegistryStore::DeleteValue(const std::string& key, const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!ValueExists(key, name)) return false;
  TOp op;
  op.Delete = true;
  op.Key = NormaliseRegistryKey(key);
  op.Value.Name = name;
  Change(std::move(op));
  return true;
}

void TRegistryStore::Change(TOp op) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  Apply(FKeys, op);
  FPending.push_back(std::move(op));
  if (FUpdateDepth == 0) SaveLocked();
}

void TRegistryStore::BeginUpdate() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  ++FUpdateDepth;
}

void TRegistryStore::EndUpdate() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (FUpdateDepth > 0 && --FUpdateDepth == 0 && !FPending.empty()) SaveLocked();
}

void TRegistryStore::Flush() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!FPending.empty()) SaveLocked();
}

void TRegistryStore::SaveLocked() {
  const auto slash = FPath.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !EnsureDirectory(FPath.substr(0, slash)))
    throw ERegistryError("Cannot create the folder of \"" + FPath + "\"");
  // Other copies of the program share the file: take their changes in, then ours.
  // A holder that does not let go within the wait does not stop the write.
  TFileLock fileLock(FPath + ".lock", kStoreLockWait);
  std::vector<TKey> merged;
  std::string text;
  if (ReadWholeFile(FPath, text)) ParseInto(text, merged);
  for (const TOp& op : FPending) Apply(merged, op);
  try {
    WriteFileAtomically(FPath, SerialiseKeys(merged));
  } catch (const EAtomicFileError& e) {
    // Keep the changes pending: the next write tries again.
    throw ERegistryError(e.what());
  }
  FKeys = std::move(merged);
  FPending.clear();
}

}  // namespace vantori
