#include "app/settings_check.h"

#include "download/port_settings.h"
#include "platform/format.h"

int ReadSetting(const CRegister& registry, const NumberSetting& setting, std::vector<std::string>& notes) {
  return registry.ReadChecked(setting.name, setting.low, setting.high, setting.fallback, notes);
}

void NoteSettingsFileProblem(const CRegister& registry, std::vector<std::string>& notes) {
  const std::string problem = registry.FileProblem();
  if (!problem.empty()) notes.push_back(Format("settings file %s; every setting has its default", problem.c_str()));
}

std::vector<std::string> StoredSettingsProblems(const CRegister& registry) {
  std::vector<std::string> notes;
  NoteSettingsFileProblem(registry, notes);
  for (const NumberSetting& setting :
       {kCodeLocationSetting, kDataLocationSetting, kExternalRamSetting, kPortSetting, kDebugLevelSetting})
    ReadSetting(registry, setting, notes);
  for (int n = 1; n <= 4; ++n) LoadPortSettings(Format("COM%d", n), &notes);
  return notes;
}
