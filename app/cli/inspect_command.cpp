// tovrin inspect: what a hex image holds, without its source.
#include <cstdio>
#include <memory>

#include "app/cli/commands.h"
#include "app/image_inspection.h"

int RunInspectCommand(const std::string& hexPath) {
  auto image = std::make_unique<LoadedImage>();
  std::string error;
  if (!LoadImage(hexPath, *image, error)) {
    if (error.rfind("cannot open", 0) == 0) {
      std::fprintf(stderr, "tovrin: %s\n", Printable(error).c_str());
      return kExitBuildFailed;
    }
    std::fprintf(stderr, "tovrin: '%s' is not a Tovrin image: %s\n", Printable(hexPath).c_str(), Printable(error).c_str());
    return kExitBuildFailed;
  }
  std::printf("%s: Tovrin image\n%s", Printable(hexPath).c_str(), DescribeImage(*image).c_str());
  return kExitOk;
}
