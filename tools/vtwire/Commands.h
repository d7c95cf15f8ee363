#pragma once
// The subcommands of vtwire. Each group lives in its own file and adds itself to the app.

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace vantori::vtwire {

// encode, decode (CodecCommands.cpp)
void RegisterCodecCommands(CLI::App& app);
// constants (ConstantsCommand.cpp)
void RegisterConstantsCommand(CLI::App& app);
// scramble, unscramble (ScrambleCommands.cpp)
void RegisterScrambleCommands(CLI::App& app);

// The implementer-chosen protocol constants, printed by `vtwire constants`.
nlohmann::ordered_json ProtocolConstantsJson();

}  // namespace vantori::vtwire
