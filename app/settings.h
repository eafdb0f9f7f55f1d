// The settings file's keys: one per setting control of the window, loaded at
// start and written back at close. "DatabaseDir" is read only, so a value set by
// hand in the file survives every close.
#pragma once

namespace platform {
class IniFile;
}

namespace app {

class TfMain;

// Reads every key with the control's current value as the default. Absent keys
// and non-integer Boolean or integer values leave the control as it is.
void LoadSettings(TfMain& form, const platform::IniFile& ini);

// Writes every key except "DatabaseDir", in table order, then the [Drivers] keys.
void SaveSettings(const TfMain& form, platform::IniFile& ini);

}  // namespace app
