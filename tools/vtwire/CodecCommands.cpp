// vtwire encode / decode: messages as JSON on one side, wire bytes on the other.
//
//   {"params":[{"name":"T","type":"int","value":1198},{"name":"User","type":"String","value":"abc"}]}
//
// "type" is "int" (the narrowest integer type is chosen, as every sender does) or the name of
// a wire type. Text is UTF-8 in JSON and cp949 on the wire.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "Commands.h"
#include "WireJson.h"
#include "platform/UCodePage.h"
#include "platform/UTextHelpers.h"
#include "protocol/ProtocolConstants.h"
#include "protocol/UParameter.h"

namespace vantori::vtwire {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ReadAll(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const void* data, std::size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, stdout) != size)
    throw std::runtime_error("cannot write to stdout");
}

Bytes HexField(const json& p) {
  if (!p.contains("hex") || !p["hex"].is_string()) throw InputError("needs a \"hex\" string");
  Bytes out;
  if (!HexDecode(p["hex"].get<std::string>(), out))
    throw InputError("\"hex\" is not an even run of hex digits");
  return out;
}

std::int64_t IntegerField(const json& v) {
  if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      throw InputError("value is beyond a 64-bit signed integer");
    return static_cast<std::int64_t>(u);
  }
  if (v.is_number_integer()) return v.get<std::int64_t>();
  throw InputError("\"value\" must be an integer");
}

void AddOne(TDataParameter& m, const json& p) {
  if (!p.is_object()) throw InputError("is not an object");
  if (!p.contains("name") || !p["name"].is_string()) throw InputError("needs a \"name\" string");
  if (!p.contains("type") || !p["type"].is_string()) throw InputError("needs a \"type\" string");
  const auto nameUtf8 = p["name"].get<std::string>();
  const auto name = Utf8ToCp949(nameUtf8);
  if (!name) throw InputError("name has no cp949 form");
  const auto typeName = p["type"].get<std::string>();
  const json value = p.contains("value") ? p["value"] : json();

  if (typeName == "int") {
    m.AddInteger(*name, IntegerField(value));
    return;
  }
  const ParamType type = ParamTypeFromName(typeName);
  switch (type) {
    case ParamType::None:
      throw InputError("unknown type \"" + typeName + "\"");
    case ParamType::String:
      if (p.contains("hex")) {
        const Bytes raw = HexField(p);
        m.AddString(*name, std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
      } else {
        if (!value.is_string()) throw InputError("String needs a \"value\" text or \"hex\"");
        const auto text = Utf8ToCp949(value.get<std::string>());
        if (!text) throw InputError("text has no cp949 form");
        m.AddString(*name, *text);
      }
      return;
    case ParamType::PChar: {
      const Bytes raw = HexField(p);
      m.AddData(*name, raw.data(), raw.size());
      return;
    }
    case ParamType::Encript: {
      const Bytes raw = HexField(p);
      if (!p.contains("seed") || !p["seed"].is_number_integer()) throw InputError("Encript needs a \"seed\"");
      const std::int64_t seed = IntegerField(p["seed"]);
      if (seed < 0 || seed > 4294967295LL) throw InputError("\"seed\" must be 0 to 4294967295");
      m.AddEncript(*name, raw, static_cast<std::uint32_t>(seed));
      return;
    }
    case ParamType::Boolean:
      if (value.is_boolean())
        m.AddBoolean(*name, value.get<bool>());
      else
        m.AddTyped(*name, ParamType::Boolean, IntegerField(value));
      return;
    case ParamType::Real:
      if (!value.is_number()) throw InputError("Real needs a number");
      m.AddReal(*name, value.get<double>());
      return;
    case ParamType::Extended:
      if (value.is_string()) {
        // A decimal text keeps the digits a double cannot hold.
        const std::string text = value.get<std::string>();
        long double v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size())
          throw InputError("\"" + text + "\" is not a decimal number");
        m.AddExtended(*name, v);
      } else if (value.is_number()) {
        m.AddExtended(*name, value.get<double>());
      } else {
        throw InputError("Extended needs a number or a decimal text");
      }
      return;
    default:
      m.AddTyped(*name, type, IntegerField(value));
      return;
  }
}

}  // namespace

TDataParameter MessageFromJson(const json& doc) {
  if (!doc.is_object() || !doc.contains("params") || !doc["params"].is_array())
    throw std::runtime_error("input must be an object with a \"params\" array");
  TDataParameter m;
  const json& params = doc["params"];
  for (std::size_t i = 0; i < params.size(); ++i) {
    try {
      AddOne(m, params[i]);
    } catch (const std::exception& e) {
      throw std::runtime_error("params[" + std::to_string(i) + "]: " + e.what());
    }
  }
  return m;
}

ordered_json MessageToJson(const TDataParameter& m) {
  ordered_json params = ordered_json::array();
  for (int i = 0; i < m.Count(); ++i) {
    const TParamDef& p = m.Params(i);
    ordered_json o;
    o["name"] = Cp949ToUtf8Lossy(p.Name());
    o["type"] = std::string(ParamTypeName(p.Type()));
    switch (p.Type()) {
      case ParamType::String: {
        const ByteString text = p.AsString();
        if (auto utf8 = Cp949ToUtf8(text))
          o["value"] = *utf8;
        else
          o["value"] = nullptr;
        o["hex"] = HexEncode(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        break;
      }
      case ParamType::PChar:
      case ParamType::Encript:
        o["hex"] = HexEncode(p.Data().data(), p.Data().size());
        break;
      case ParamType::Boolean:
        if (p.RawBoolean() <= 1)
          o["value"] = p.RawBoolean() == 1;
        else
          o["value"] = p.RawBoolean();
        break;
      case ParamType::Real:
        o["value"] = p.AsReal();
        break;
      case ParamType::Extended:
        o["value"] = static_cast<double>(p.AsExtended());
        break;
      default:
        o["value"] = p.RawInteger();
        break;
    }
    params.push_back(std::move(o));
  }
  ordered_json out;
  out["params"] = std::move(params);
  return out;
}

namespace {

void RunEncode(bool frame) {
  json doc;
  try {
    doc = json::parse(ReadAll(std::cin));
  } catch (const json::exception& e) {
    std::cerr << "vtwire encode: input is not JSON: " << e.what() << '\n';
    throw CLI::RuntimeError(1);
  }
  std::span<const std::uint8_t> bytes;
  TDataParameter m;
  try {
    m = MessageFromJson(doc);
    bytes = m.Encode();
  } catch (const std::exception& e) {
    std::cerr << "vtwire encode: " << e.what() << '\n';
    throw CLI::RuntimeError(1);
  }
  if (frame) {
    const auto n = static_cast<std::uint32_t>(bytes.size());
    const std::uint8_t header[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    WriteAll(header, sizeof header);
  }
  WriteAll(bytes.data(), bytes.size());
  std::fflush(stdout);
}

[[noreturn]] void DecodeFailed(const std::string& where, const TDataParameter& m, const std::exception& e) {
  std::cerr << "vtwire decode: " << where << "parameter " << m.Count() << " (starting at offset "
            << m.DecodeErrorOffset() << "): " << e.what() << '\n';
  throw CLI::RuntimeError(1);
}

void RunDecode(bool frame, bool pretty) {
  const std::string input = ReadAll(std::cin);
  const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
  const int indent = pretty ? 2 : -1;
  TDataParameter m;
  if (!frame) {
    try {
      m.Decode(data, input.size());
    } catch (const EParamError& e) {
      DecodeFailed("", m, e);
    }
    std::cout << MessageToJson(m).dump(indent) << '\n';
    return;
  }
  std::size_t pos = 0;
  for (int index = 0; pos < input.size(); ++index) {
    const std::string where = "frame " + std::to_string(index) + " at offset " + std::to_string(pos) + ": ";
    if (input.size() - pos < 4) {
      std::cerr << "vtwire decode: " << where << "header cut short (" << input.size() - pos << " bytes)\n";
      throw CLI::RuntimeError(1);
    }
    const std::uint32_t length = std::uint32_t(data[pos]) | std::uint32_t(data[pos + 1]) << 8 |
                                 std::uint32_t(data[pos + 2]) << 16 | std::uint32_t(data[pos + 3]) << 24;
    pos += 4;
    if (length == proto::kKeepAliveHeader) {
      std::cout << R"({"marker":"keep-alive"})" << '\n';
      continue;
    }
    if (length == proto::kCloseMarker && pos == input.size()) {
      std::cout << R"({"marker":"close"})" << '\n';
      continue;
    }
    if (length > input.size() - pos) {
      std::cerr << "vtwire decode: " << where << "frame of " << length << " bytes but only "
                << input.size() - pos << " follow\n";
      throw CLI::RuntimeError(1);
    }
    try {
      m.Decode(data + pos, length);
    } catch (const EParamError& e) {
      DecodeFailed(where, m, e);
    }
    pos += length;
    std::cout << MessageToJson(m).dump(indent) << '\n';
  }
}

}  // namespace

void RegisterCodecCommands(CLI::App& app) {
  struct Options {
    bool encodeFrame = false;
    bool decodeFrame = false;
    bool pretty = false;
  };
  auto opts = std::make_shared<Options>();

  auto* enc = app.add_subcommand("encode", "Read a message as JSON on stdin, write its wire bytes to stdout");
  enc->add_flag("--frame", opts->encodeFrame, "Prefix the 4-byte little-endian length");
  enc->callback([opts] { RunEncode(opts->encodeFrame); });

  auto* dec = app.add_subcommand("decode", "Read wire bytes on stdin, print the message as JSON");
  dec->add_flag("--frame", opts->decodeFrame,
                "Input is a stream of length-prefixed frames; one JSON line per frame "
                "(keep-alive headers and a final close marker print as markers)");
  dec->add_flag("--pretty", opts->pretty, "Indent the JSON");
  dec->callback([opts] { RunDecode(opts->decodeFrame, opts->pretty); });
}

}  // namespace vantori::vtwire
