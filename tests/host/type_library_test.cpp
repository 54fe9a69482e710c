// Type libraries made by widl: what the MSFT reader finds in them, the registry Windows would
// have after registering one and, after unregistering it, the registry as it was, value by value.
// Every truncation and a few damaged offsets are refused without reading past the data.
#include <gtest/gtest.h>

#include "host/posix/type_library_format.h"
#include "tests/support/machine_snapshot.h"
#include "tests/support/temp_machine.h"

namespace sx::host {
namespace {

const std::string kLibid = "{8E1B2C30-5A61-4F6B-9D3E-1A2B3C4D5E6F}";
const std::string kVersionKey = "TypeLib\\" + kLibid + "\\2.a";
const std::string kAutomation = "Interface\\{5C2D8A41-7B3E-4C19-8F20-6A7B8C9D0E1F}";
const std::string kDual = "Interface\\{3D5E7F91-AB2C-4D6E-B8F1-4C5D6E7F8091}";
const std::string kCustom = "Interface\\{2F4E6A83-9C1D-4E5B-A7F0-3B4C5D6E7F80}";

std::string Fixture(const std::string& name) {
  return test::ReadHostFile(std::string(SX_FIXTURES_DIR) + "/typelib/" + name);
}

std::string Default(Host& host, const std::string& key) {
  auto value = host.RegQueryValue(RegRoot::kClassesRoot, key, "");
  return value && value->type == kRegSz ? value->data : "<none>";
}

TEST(TypeLibraryFormat, ReadsWhatWidlWrote) {
  for (const auto& [file, sysKind] : {std::pair{"demo32.tlb", 1}, std::pair{"demo64.tlb", 3}}) {
    SCOPED_TRACE(file);
    auto contents = ParseMsftTypeLibrary(Fixture(file));
    ASSERT_TRUE(contents);
    const TypeLibInfo& library = contents->library;
    EXPECT_EQ(library.libid, kLibid);
    EXPECT_EQ(library.major, 2);
    EXPECT_EQ(library.minor, 10);
    EXPECT_EQ(library.lcid, 0x409u);
    EXPECT_EQ(library.sysKind, sysKind);
    EXPECT_EQ(library.flags, 0);
    EXPECT_EQ(library.name, "SXDemoLib");
    EXPECT_EQ(library.docString, "SX Demo Type Library");
    EXPECT_EQ(library.helpFile, "C:\\Program Files\\Demo\\help\\demo.chm");
    std::map<std::string, std::pair<int, std::string>> types;
    for (const TypeLibTypeInfo& type : contents->types) types[type.name] = {type.kind, type.guid};
    EXPECT_EQ(types["IDemoAutomation"], std::pair(int{kTypeKindInterface}, std::string("{5C2D8A41-7B3E-4C19-8F20-6A7B8C9D0E1F}")));
    EXPECT_EQ(types["IDemoDual"].second, "{3D5E7F91-AB2C-4D6E-B8F1-4C5D6E7F8091}");
    EXPECT_EQ(types["DemoObject"], std::pair(int{kTypeKindCoClass}, std::string("{7A9B1C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D}")));
  }
}

TEST(TypeLibraryFormat, DamagedAndTruncatedLibrariesAreRefused) {
  const std::string real = Fixture("demo32.tlb");
  ASSERT_GT(real.size(), 1000u);
  // The last segment ends with the file, so every cut removes something the reader needs.
  for (size_t length = 0; length < real.size(); ++length)
    EXPECT_FALSE(ParseMsftTypeLibrary(std::string_view(real).substr(0, length))) << "cut at " << length;

  auto patched = [&](size_t offset, uint32_t value) {
    std::string copy = real;
    for (int i = 0; i < 4; ++i) copy[offset + i] = static_cast<char>(value >> (8 * i));
    return copy;
  };
  const uint32_t typeCount = 0x20, libraryName = 0x38, helpFile = 0x3C, libid = 0x08;
  const size_t segments = 0x54 + 4 * 7;  // after the offsets of the seven type infos
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(0, 0x12345678)));               // no MSFT magic
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(typeCount, 0xFFFFFFFF)));       // more types than bytes
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(libraryName, 0x7FFFFFF0)));     // name past its table
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(helpFile, 0xFFFFFFFE)));        // string past its table
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(libid, 0xFFFFFFF8)));           // GUID past its table
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(0x54, 0xFFFFFF00)));            // a type info past its table
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(segments + 4, 0xFFFFFFF0)));    // a segment past the file
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(segments, 0xFFFFFFF0)));
  const uint32_t firstTypeInfo = static_cast<unsigned char>(real[segments]) | static_cast<unsigned char>(real[segments + 1]) << 8;
  EXPECT_FALSE(ParseMsftTypeLibrary(patched(firstTypeInfo + 4, 0xFFFFFF00)));  // members past the file
  EXPECT_FALSE(ParseMsftTypeLibrary("MZ\x90\0 not a type library"));
}

TEST(TypeLibraries, RegisteringAndUnregisteringLeavesTheRegistryAsItWas) {
  test::TempMachine machine;
  Host& host = machine.host();
  test::WriteHostFile(machine.HostPath("drive_c/App/demo32.tlb"), Fixture("demo32.tlb"));
  test::WriteHostFile(machine.HostPath("drive_c/App/demo64.tlb"), Fixture("demo64.tlb"));
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kClassesRoot, "TypeLib"));  // as on every Windows
  // An interface another library registered stays untouched.
  ASSERT_TRUE(host.RegCreateKey(RegRoot::kClassesRoot, "Interface\\{00000000-1111-2222-3333-444444444444}"));
  ASSERT_TRUE(host.RegSetValue(RegRoot::kClassesRoot, "Interface\\{00000000-1111-2222-3333-444444444444}", "",
                               {kRegSz, std::string("IOther") + '\0'}));
  const test::MachineSnapshot before = test::TakeSnapshot({});

  auto info = host.LoadTypeLib("C:\\App\\demo32.tlb");
  ASSERT_TRUE(info);
  ASSERT_TRUE(host.RegisterTypeLib("C:\\App\\demo32.tlb", "C:\\Program Files\\Demo\\help"));
  ASSERT_TRUE(host.RegisterTypeLib("C:\\App\\demo64.tlb", ""));
  EXPECT_EQ(Default(host, kVersionKey), std::string("SX Demo Type Library") + '\0');
  EXPECT_EQ(Default(host, kVersionKey + "\\409\\win32"), std::string("C:\\App\\demo32.tlb") + '\0');
  EXPECT_EQ(Default(host, kVersionKey + "\\409\\win64"), std::string("C:\\App\\demo64.tlb") + '\0');
  EXPECT_EQ(Default(host, kVersionKey + "\\FLAGS"), std::string("0") + '\0');
  EXPECT_EQ(Default(host, kVersionKey + "\\HELPDIR"), std::string(1, '\0'));  // the last one wins
  for (const auto& [key, name] : {std::pair{kAutomation, "IDemoAutomation"}, std::pair{kDual, "IDemoDual"}}) {
    EXPECT_EQ(Default(host, key), name + std::string(1, '\0'));
    EXPECT_EQ(Default(host, key + "\\ProxyStubClsid32"), std::string("{00020424-0000-0000-C000-000000000046}") + '\0');
    EXPECT_EQ(Default(host, key + "\\TypeLib"), kLibid + '\0');
    auto version = host.RegQueryValue(RegRoot::kClassesRoot, key + "\\TypeLib", "Version");
    EXPECT_TRUE(version && version->data == std::string("2.a") + '\0');
  }
  EXPECT_FALSE(host.RegKeyExists(RegRoot::kClassesRoot, kCustom));  // neither dual nor automation

  // The 64-bit registration goes alone; the version stays with its 32-bit file.
  TypeLibInfo win64 = *info;
  win64.sysKind = 3;
  ASSERT_TRUE(host.UnRegisterTypeLib(win64));
  EXPECT_FALSE(host.RegKeyExists(RegRoot::kClassesRoot, kVersionKey + "\\409\\win64"));
  EXPECT_TRUE(host.RegKeyExists(RegRoot::kClassesRoot, kVersionKey + "\\409\\win32"));
  EXPECT_TRUE(host.RegKeyExists(RegRoot::kClassesRoot, kVersionKey + "\\FLAGS"));
  ASSERT_TRUE(host.UnRegisterTypeLib(*info));
  EXPECT_EQ(test::SnapshotDifference(before, test::TakeSnapshot({})), "");
  // Not registered any more.
  EXPECT_FALSE(host.UnRegisterTypeLib(*info));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
}

TEST(TypeLibraries, ADamagedFileRegistersNothing) {
  test::TempMachine machine;
  Host& host = machine.host();
  const std::string real = Fixture("demo32.tlb");
  test::WriteHostFile(machine.HostPath("drive_c/App/cut.tlb"), real.substr(0, real.size() / 2));
  test::WriteHostFile(machine.HostPath("drive_c/App/empty.tlb"), "");
  const test::MachineSnapshot before = test::TakeSnapshot({});
  for (const char* path : {"C:\\App\\cut.tlb", "C:\\App\\empty.tlb"}) {
    EXPECT_FALSE(host.LoadTypeLib(path));
    EXPECT_EQ(host.LastError(), kErrorBadFormat);
    EXPECT_FALSE(host.RegisterTypeLib(path, ""));
  }
  EXPECT_FALSE(host.LoadTypeLib("C:\\App\\missing.tlb"));
  EXPECT_EQ(host.LastError(), kErrorFileNotFound);
  EXPECT_EQ(test::SnapshotDifference(before, test::TakeSnapshot({})), "");
}

}  // namespace
}  // namespace sx::host
