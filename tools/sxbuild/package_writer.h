// Writing one package of a build: its cabinet (or cabinet set) with the trailer, into the output
// set of the build (temporary names until the build commits).
//
// Archive layout: the files outside "data\" first, then "data\". Without a password they share
// one folder. With a password the data is enciphered, while the engine prepares a package (the
// files outside "data\") without the password: those files go into a plain folder of their own,
// stored without compression and without checksums, so that the installation's decipher pass,
// which runs over every block of the archive, only turns them into garbage it never writes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packages/cab_writer.h"
#include "packages/haval.h"
#include "packages/package_trailer.h"
#include "tools/sxbuild/build_plan.h"
#include "tools/sxbuild/local_files.h"

namespace sx::build {

struct PackageReport {
  std::vector<std::string> files;  // names of the written files, the package file first
  uint64_t packageFileSize = 0;
  PackageTrailer trailer;
  CabSetSummary cabinets;
};

PackageReport WritePackage(const PlannedPackage& package, const BuildOptions& options,
                           const std::optional<HavalDigest>& key, OutputSet& outputs);

}  // namespace sx::build
