// vtwire: encode and decode protocol messages, print the shared constants.

#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Vantori wire tool: message codec and protocol helpers"};
  app.require_subcommand(1);

  vantori::vtwire::RegisterCodecCommands(app);
  vantori::vtwire::RegisterConstantsCommand(app);
  vantori::vtwire::RegisterScrambleCommands(app);
  // Further command groups register here, one call per group (declared in Commands.h).

  CLI11_PARSE(app, argc, argv);
  return 0;
}
