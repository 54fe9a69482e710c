// One build: the project folder planned and checked, every package written under temporary
// names, then all of them renamed into place together. Nothing is left behind when it fails.
#pragma once

#include <cstdio>

#include "tools/sxbuild/build_plan.h"

namespace sx::build {

// Builds; reports to `out` (what was written) and `err` (warnings). Throws BuildError.
void Build(const BuildOptions& options, std::FILE* out, std::FILE* err);

}  // namespace sx::build
