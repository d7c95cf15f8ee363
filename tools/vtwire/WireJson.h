#pragma once
// A message as JSON: {"params":[{"name":..., "type":..., "value":..., "hex":...}, ...]}.

#include <nlohmann/json.hpp>

#include "protocol/UParameter.h"

namespace vantori::vtwire {

// Builds a message from the JSON form; raises std::runtime_error naming the bad entry.
TDataParameter MessageFromJson(const nlohmann::json& doc);
// The JSON form of a message: each parameter's received type name, its value (text decoded
// from cp949 where valid, otherwise null) and, for String and PChar, the raw bytes in hex.
nlohmann::ordered_json MessageToJson(const TDataParameter& message);

}  // namespace vantori::vtwire
