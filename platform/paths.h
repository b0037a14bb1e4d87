// Where the log and the settings file live.
#pragma once

#include <string>

// The error log's absolute path for one build: explicit (from --log) when not
// empty, else $TOVRIN_LOG, else $XDG_STATE_HOME/tovrin/tovrin.log (XDG default
// ~/.local/state). Relative paths are made absolute against the current
// directory, so later directory changes of the file stack do not move the log.
// The log's folder is created when missing.
std::string ResolveLogPath(const std::string& explicitPath = std::string());

// The settings file: $TOVRIN_SETTINGS, else $XDG_CONFIG_HOME/Halvery/Tovrin.reg
// (XDG default ~/.config).
std::string SettingsFilePath();

// Creates every missing folder above path (not path itself). False on failure.
bool CreateParentFolders(const std::string& path);
