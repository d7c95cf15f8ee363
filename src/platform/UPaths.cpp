#include "platform/UPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vantori {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/tmp";
}

std::string Trimmed(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ConfigRoot() {
  if (std::string h = Env("VANTORI_HOME"); !h.empty()) return Trimmed(h) + "/config";
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') base = HomeFolder() + "/.config";
  return Trimmed(base) + "/Orvane/VTRI";
}

std::string DataRoot() {
  if (std::string h = Env("VANTORI_HOME"); !h.empty()) return Trimmed(h) + "/data";
  std::string base = Env("XDG_DATA_HOME");
  if (base.empty() || base[0] != '/') base = HomeFolder() + "/.local/share";
  return Trimmed(base) + "/vantori";
}

std::string RuntimeRoot() {
  if (std::string h = Env("VANTORI_HOME"); !h.empty()) return Trimmed(h) + "/run";
  std::string base = Env("XDG_RUNTIME_DIR");
  if (base.empty() || base[0] != '/') return DataRoot() + "/run";
  return Trimmed(base) + "/vantori";
}

bool EnsureDirectory(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !EnsureDirectory(path.substr(0, slash))) return false;
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vantori
