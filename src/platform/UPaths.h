#pragma once
// Where the program keeps its files.
//
// - ConfigRoot: per-user settings (the settings store, "sakx.inf");
//   $XDG_CONFIG_HOME/Orvane/VTRI, or ~/.config/Orvane/VTRI.
// - DataRoot: the program's own folder ("DownLoad", "Log", "kxsp.dat", the note files);
//   $XDG_DATA_HOME/vantori, or ~/.local/share/vantori.
// - RuntimeRoot: lock files, sockets; $XDG_RUNTIME_DIR/vantori, or DataRoot + "/run".
//
// VANTORI_HOME moves all three below one folder (config/, data/, run/), so that test
// suites and several copies of the program run side by side.

#include <string>

namespace vantori {

std::string ConfigRoot();
std::string DataRoot();
std::string RuntimeRoot();

// Creates the folder and its parents (mode 0700 for new ones); false when it cannot.
bool EnsureDirectory(const std::string& path);

}  // namespace vantori
