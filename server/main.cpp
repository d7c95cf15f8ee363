// vantori-server: the login server and the main server of the folder service in one process.

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "TReferenceServer.h"
#include "protocol/ProtocolConstants.h"

int main(int argc, char** argv) {
  CLI::App app{"Vantori reference server (login and main server)"};
  vantori::server::TServerOptions options;
  std::string dataDir = "vantori-data";
  int basePort = vantori::proto::kDefaultBasePort;
  if (const char* env = std::getenv("VANTORI_BASE_PORT")) basePort = std::atoi(env);
  app.add_option("--data", dataDir, "data folder (database and stored files)");
  app.add_option("--host", options.Host, "address to listen on")->capture_default_str();
  app.add_option("--base-port", basePort, "BasePort; the main server listens on it")
      ->check(CLI::Range(1, 65525));
  app.add_flag("--demo", options.Demo, "seed the demo members into an empty data folder");
  app.add_option("--advertise", options.AdvertisedHost, "main server address sent to clients");
  int webPort = -1;
  app.add_option("--web-port", webPort, "port of the web site (default BasePort + 80; 0: none)");
  app.add_option("--idle-timeout", options.IdleTimeoutMs, "close connections silent for this many ms");
  app.add_option("--upload-cap", options.Storage.UploadCapKbps,
                 "upload speed cap told to clients, KB/s (300 is the service's usual cap)")
      ->capture_default_str();
  app.add_option("--cut-after", options.Storage.CutAfterBytes,
                 "test fault: cut every transfer data connection after this many bytes (0: never)");
  CLI11_PARSE(app, argc, argv);
  options.DataDir = dataDir;
  options.BasePort = static_cast<std::uint16_t>(basePort);
  if (webPort < 0) webPort = basePort + vantori::proto::kWebSitePortOffset;
  options.WebPort = static_cast<std::uint16_t>(webPort);

  // Block the stop signals in every thread; the main thread waits for them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  vantori::server::TReferenceServer server(options);
  try {
    server.Start();
  } catch (const std::exception& e) {
    std::cerr << "vantori-server: " << e.what() << '\n';
    return 1;
  }
  int signal = 0;
  sigwait(&stopSignals, &signal);
  std::cerr << "vantori-server: signal " << signal << ", stopping\n";
  server.Stop();
  return 0;
}
