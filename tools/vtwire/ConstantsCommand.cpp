#include <iostream>

#include "Commands.h"
#include "protocol/ProtocolConstants.h"

namespace vantori::vtwire {

nlohmann::ordered_json ProtocolConstantsJson() {
  nlohmann::ordered_json out;
  // One line per constant that client, servers and tools must agree on.
  out["seed_offset"] = proto::kSeedOffset;
  out["scramble_count_offset"] = proto::kScrambleCountOffset;
  return out;
}

void RegisterConstantsCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("constants", "Print the implementer-chosen protocol constants as JSON");
  cmd->callback([] { std::cout << ProtocolConstantsJson().dump() << '\n'; });
}

}  // namespace vantori::vtwire
