// The backup-ini scheme of the settings-driven exports.
#pragma once

// File name after the last separator; empty when there is none.
void GetPathFileName(const char* path, char* nameOut /* 260 bytes */);
// folder/SavedData/<name>_bkp.ini for iniPath <dir>/<name>.ini.
void MakeBackupIniPath(const char* iniPath, char* backupPathOut /* 260 */, const char* folder);
// 0, or -92 (no temporary file), -91 (no backup), -90 (copy failed).
int RestoreBackupToTemp(char* tempPathOut /* 260 */, const char* backupPath, const char* folder);
