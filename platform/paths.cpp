#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// $XDG_<kind>_HOME, else $HOME/<fallback>, else the current directory.
fs::path XdgHome(const char* variable, const char* fallback) {
  std::string value = Environment(variable);
  if (!value.empty() && fs::path(value).is_absolute()) return value;
  std::string home = Environment("HOME");
  if (!home.empty()) return fs::path(home) / fallback;
  return fs::current_path();
}

std::string Absolute(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  return (error ? path : absolute).lexically_normal().string();
}

}  // namespace

bool CreateParentFolders(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  fs::create_directories(parent, error);
  return !error;
}

std::string ResolveLogPath(const std::string& explicitPath) {
  std::string chosen = explicitPath;
  if (chosen.empty()) chosen = Environment("TOVRIN_LOG");
  if (chosen.empty()) chosen = (XdgHome("XDG_STATE_HOME", ".local/state") / "tovrin" / "tovrin.log").string();
  std::string absolute = Absolute(chosen);
  CreateParentFolders(absolute);
  return absolute;
}

std::string SettingsFilePath() {
  std::string chosen = Environment("TOVRIN_SETTINGS");
  if (chosen.empty()) chosen = (XdgHome("XDG_CONFIG_HOME", ".config") / "Halvery" / "Tovrin.reg").string();
  return Absolute(chosen);
}
