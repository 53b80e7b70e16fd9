// The settings records kept in "config.ini" in the current directory.
#pragma once
#include "settings/config_file.h"

void LoadSettings();
void SaveSetting(SettingItem item);
// The output items as the records hold them: the pages' entries must have
// been taken into the records first.
void SaveOutputSettings();
