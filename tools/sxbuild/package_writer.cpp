#include "tools/sxbuild/package_writer.h"

#include "util/case_tables.h"

namespace sx::build {
namespace {

constexpr size_t kReadPiece = 1 << 20;
constexpr uint64_t kMaxPackageFile = 0xFFFFFFFF;  // PackageFileSize is a 32-bit number

// The set ID that ties the cabinets of a package together.
uint16_t SetIdOf(const std::string& fileName) {
  uint32_t hash = 2166136261u;
  for (char c : fileName) hash = (hash ^ UpperTable[static_cast<unsigned char>(c)]) * 16777619u;
  return static_cast<uint16_t>(hash ^ hash >> 16);
}

void Feed(CabinetSetWriter& writer, const PlannedFile& file, std::vector<char>& buffer) {
  writer.BeginFile({file.name, file.size, file.dosDateTime, file.attributes});
  if (file.source.empty()) {
    writer.Write(file.content.data(), file.content.size());
  } else {
    InputFile input(file.source);
    uint64_t left = file.size;
    for (;;) {
      const size_t n = input.Read(buffer.data(), buffer.size());
      if (n == 0) break;
      if (n > left) throw BuildError("\"" + file.source + "\" grew while the package was written");
      writer.Write(buffer.data(), n);
      left -= n;
    }
    if (left != 0) throw BuildError("\"" + file.source + "\" shrank while the package was written");
  }
  writer.EndFile();
}

}  // namespace

PackageReport WritePackage(const PlannedPackage& package, const BuildOptions& options,
                           const std::optional<HavalDigest>& key, OutputSet& outputs) {
  PackageReport report;
  try {
    OutputFile& first = outputs.Create(package.outputName, package.main ? 0755 : 0644);
    uint64_t stubSize = 0;
    if (package.main) {
      first.AppendFile(options.engineImage);
      stubSize = first.Size();
      if (stubSize == 0 || stubSize > kMaxPackageFile)
        throw BuildError("the engine image \"" + options.engineImage + "\" is empty or larger than 4 GB");
    }
    CabSetOptions cab;
    cab.level = options.level;
    cab.maxCabinetSize = options.maxCabinetSize;
    cab.scramble = (package.flags & kPackageScrambled) != 0;
    cab.key = key;
    cab.setId = SetIdOf(package.fileName);
    cab.cabinetName = [&package](int n) { return package.CabinetName(n); };
    FileCabStorage storage(outputs, first, cab.cabinetName);
    CabinetSetWriter writer(storage, cab);
    std::vector<char> buffer(kReadPiece);

    writer.StartFolder({key ? CabCompression::kNone : options.compression, false});
    for (const PlannedFile& file : package.presetup) Feed(writer, file, buffer);
    if (!package.data.empty()) {
      if (key) writer.StartFolder({options.compression, true});
      for (const PlannedFile& file : package.data) Feed(writer, file, buffer);
    }
    report.cabinets = writer.Finish();

    const uint64_t packageFileSize = first.Size() + kPackageTrailerSize;
    if (packageFileSize > kMaxPackageFile)
      throw BuildError("\"" + package.outputName + "\" would be larger than 4 GB; set a cabinet size limit");
    report.trailer = {static_cast<uint32_t>(stubSize), static_cast<uint32_t>(packageFileSize),
                      static_cast<uint32_t>(package.presetupSize), static_cast<uint32_t>(package.dataSize),
                      package.flags};
    first.Write(EncodeTrailer(report.trailer).data(), kPackageTrailerSize);
    report.packageFileSize = packageFileSize;
    for (size_t n = 0; n < storage.files().size(); ++n) report.files.push_back(package.CabinetName(static_cast<int>(n)));
  } catch (const CabWriteError& e) {
    throw BuildError("package \"" + package.id + "\": " + e.what());
  }
  return report;
}

}  // namespace sx::build
