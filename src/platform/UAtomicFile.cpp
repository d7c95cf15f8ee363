#include "platform/UAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace vantori {

namespace {

std::mutex gHookLock;
TRenameHook gRenameHook;

int DoRename(const std::string& from, const std::string& to) {
  TRenameHook hook;
  {
    std::lock_guard<std::mutex> lock(gHookLock);
    hook = gRenameHook;
  }
  if (hook) return hook(from, to);
  return ::rename(from.c_str(), to.c_str());
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw EAtomicFileError(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

void SetRenameHookForTesting(TRenameHook hook) {
  std::lock_guard<std::mutex> lock(gHookLock);
  gRenameHook = std::move(hook);
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
  const auto slash = path.find_last_of('/');
  const std::string dir =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  std::string tmpl = path + ".tmp.XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) Fail("Cannot create a temporary file for", path, errno);
  const std::string tmp(name.data());

  auto abandon = [&](const std::string& what, int err) {
    ::close(fd);
    ::unlink(tmp.c_str());
    Fail(what, path, err);
  };

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      abandon("Cannot write", errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) abandon("Cannot sync", errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    Fail("Cannot close", path, err);
  }
  if (DoRename(tmp, path) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    Fail("Cannot replace", path, err);
  }
  // Make the rename itself durable.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

bool ReadWholeFile(const std::string& path, std::string& data) {
  data.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  if (!ok) data.clear();
  return ok;
}

}  // namespace vantori
