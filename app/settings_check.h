// Stored settings that cannot be used: the file itself (unreadable, not text) and each value
// that is not a number or out of range, with the value used in its place.
#pragma once

#include <string>
#include <vector>

#include "app/register.h"

// Ranges of the numeric settings the commands read, and the value each falls back to.
struct NumberSetting {
  const char* name;
  int low, high, fallback;
};
inline constexpr NumberSetting kCodeLocationSetting{"Code Location", 1, 2, 1};
inline constexpr NumberSetting kDataLocationSetting{"Data Location", 1, 2, 1};
inline constexpr NumberSetting kExternalRamSetting{"External RAM", 0, 64, 0};
inline constexpr NumberSetting kPortSetting{"Port", 1, 4, 1};
inline constexpr NumberSetting kDebugLevelSetting{"Debug Level", 1, 4, 1};

// The setting as a command uses it; notes gets a line when the stored value cannot be used.
int ReadSetting(const CRegister& registry, const NumberSetting& setting, std::vector<std::string>& notes);

// The problem of the settings file itself, when it has one, as a note.
void NoteSettingsFileProblem(const CRegister& registry, std::vector<std::string>& notes);

// Every problem of the stored settings: the file, the numbers above, and COM1 .. COM4.
std::vector<std::string> StoredSettingsProblems(const CRegister& registry);
