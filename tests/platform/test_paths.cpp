// Where the files go without VANTORI_HOME, the machine serial and the folder picker.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "platform/UFolderPicker.h"
#include "platform/UPaths.h"
#include "platform/UVolumeSerial.h"

namespace vantori {
namespace {

class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : FName(name) {
    if (const char* v = std::getenv(name)) FOld = v, FHad = true;
  }
  ~EnvGuard() {
    if (FHad)
      ::setenv(FName, FOld.c_str(), 1);
    else
      ::unsetenv(FName);
  }
  void Set(const char* value) { value ? ::setenv(FName, value, 1) : ::unsetenv(FName); }

 private:
  const char* FName;
  std::string FOld;
  bool FHad = false;
};

TEST(Paths, XdgFoldersWithoutVantoriHome) {
  EnvGuard home("VANTORI_HOME"), config("XDG_CONFIG_HOME"), data("XDG_DATA_HOME"), user("HOME");
  home.Set(nullptr);
  config.Set("/x/conf/");
  data.Set("/x/data");
  EXPECT_EQ(ConfigRoot(), "/x/conf/Orvane/VTRI");
  EXPECT_EQ(DataRoot(), "/x/data/vantori");
  // Unset or relative XDG values fall back to the home folder.
  config.Set("relative");
  data.Set(nullptr);
  user.Set("/home/u");
  EXPECT_EQ(ConfigRoot(), "/home/u/.config/Orvane/VTRI");
  EXPECT_EQ(DataRoot(), "/home/u/.local/share/vantori");
}

TEST(VolumeSerial, FromMachineIdAndOverride) {
  EXPECT_EQ(VolumeSerialFromMachineId("0123abcdffffffffffffffffffffffff"), 0x0123ABCDu);
  EXPECT_EQ(VolumeSerialFromMachineId("0123abc"), 0u);
  EXPECT_EQ(VolumeSerialFromMachineId("0123abcz"), 0u);
  EnvGuard env("VANTORI_VOLUME_SERIAL");
  env.Set("0xDEADBEEF");
  EXPECT_EQ(VolumeSerial(), 0xDEADBEEFu);
  env.Set(nullptr);
  EXPECT_EQ(VolumeSerial(), VolumeSerial());  // stable
}

TEST(FolderPicker, AsksTheInstalledPicker) {
  struct TFake : TFolderPicker {
    std::string Browse(std::uintptr_t, const std::string& title) override { return "/picked/" + title; }
  };
  EXPECT_EQ(BrowseForFolder(0, "t"), "");
  SetFolderPicker(std::make_shared<TFake>());
  EXPECT_EQ(BrowseForFolder(0, "t"), "/picked/t");
  SetFolderPicker(nullptr);
  EXPECT_EQ(BrowseForFolder(0, "t"), "");
}

}  // namespace
}  // namespace vantori
