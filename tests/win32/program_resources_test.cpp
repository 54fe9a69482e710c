// The resources a Windows program carries in its image (windres), read back through the
// resource API under Wine: the unpack library "UNPACK", written out and loaded as the engine
// does, and the engine's icon "MAINICON".
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_resources.h"
#include "packages/embedded_resource.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

std::string OnDriveZ(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

TEST(ProgramResources, UnpackLibraryIsWrittenFromTheImageAndLoads) {
  test::TempMachine machine;
  auto& host = machine.host();
  const std::string_view carried = EmbeddedResource("UNPACK");
  ASSERT_FALSE(carried.empty());
  EXPECT_EQ(EmbeddedResource("unpack"), carried);  // resource names ignore case
  EXPECT_TRUE(EmbeddedResource("NOSUCHRESOURCE").empty());
  // Byte for byte the stripped library the build put into the resource.
  EXPECT_EQ(std::string(carried), test::ReadHostFile(OnDriveZ(SX_UNPACK_EMBEDDED)));

  const std::string folder = host.TempPath() + "sx-resource-test";
  host.CreateFolder(folder);
  const std::string path = WriteUnpackLibrary(folder);
  ASSERT_EQ(path, folder + "\\unpack.dll") << "error " << host.LastError();
  auto library = host.LoadLibrary(path);
  ASSERT_TRUE(library) << "error " << host.LastError();
  for (const char* name : {"Open", "Enumerate", "Close"}) EXPECT_TRUE(library->Symbol(name)) << name;
  library.reset();
  EXPECT_TRUE(host.DeleteFile(path));
  EXPECT_TRUE(host.RemoveFolder(folder));
}

TEST(ProgramResources, MainIconIsAnIconGroup) {
  const std::string_view group = MainIconResource();
  // GRPICONDIR: reserved 0, type 1 (icon), at least one entry of 14 bytes.
  ASSERT_GE(group.size(), 6u + 14u);
  EXPECT_EQ(group.substr(0, 4), std::string_view("\0\0\1\0", 4));
  const unsigned count = static_cast<unsigned char>(group[4]) | static_cast<unsigned char>(group[5]) << 8;
  EXPECT_GE(count, 1u);
  EXPECT_EQ(group.size(), 6u + 14u * count);
}

}  // namespace
}  // namespace sx
