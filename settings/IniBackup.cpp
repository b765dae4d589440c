// The backup-ini scheme of the settings-driven exports: where the saved copy
// of an ini file lives, and how it is restored into a temporary file.
#include "settings/IniBackup.h"

#include <cstring>
#include <string>

#include "ResultCode.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "settings/Folders.h"
#include "settings/IniFile.h"

namespace {

const char kSavedDataFolder[] = "SavedData";
const char kIniExtension[] = ".ini";
const char kBackupSuffix[] = "_bkp.ini";

}  // namespace

void GetPathFileName(const char* path, char* nameOut) {
    nameOut[0] = '\0';
    if (path == nullptr) return;

    const char* backslash = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    const char* separator = backslash;
    if (slash != nullptr && (separator == nullptr || slash > separator)) separator = slash;

    // No separator, a separator in front (a root-level name) or at the end
    // (a folder): no file name.
    if (separator == nullptr || separator == path || separator[1] == '\0') return;

    const char* name = separator + 1;
    // A name too long for the buffer is not taken at all.
    if (std::strlen(name) >= kPathBufferSize) return;
    std::strcpy(nameOut, name);
}

void MakeBackupIniPath(const char* iniPath, char* backupPathOut, const char* folder) {
    backupPathOut[0] = '\0';

    std::string backupPath = folder != nullptr ? folder : "";
    backupPath += platform::kPathSeparator;
    backupPath += kSavedDataFolder;

    char name[kPathBufferSize];
    GetPathFileName(iniPath, name);
    char* dot = std::strrchr(name, '.');
    if (dot != nullptr && EqualIgnoringCase(dot, kIniExtension)) {
        *dot = '\0';
        backupPath += platform::kPathSeparator;
        backupPath += name;
        backupPath += kBackupSuffix;
    }

    // A backup path that does not fit stays empty, which no existence test
    // accepts.
    if (backupPath.size() >= kPathBufferSize) return;
    std::memcpy(backupPathOut, backupPath.c_str(), backupPath.size() + 1);
}

int RestoreBackupToTemp(char* tempPathOut, const char* backupPath, const char* folder) {
    tempPathOut[0] = '\0';
    if (folder != nullptr) platform::CreateUniqueTempFile(folder, tempPathOut, kPathBufferSize);
    if (tempPathOut[0] == '\0' || !FileExists(tempPathOut)) return kTemporaryIniNotCreated;
    if (backupPath == nullptr || !FileExists(backupPath)) return kSavedIniMissing;

    // Copied through no link, into the file just made and nothing else; the
    // copy of a read-only backup can still be deleted by the caller.
    return platform::CopyFileReplacing(backupPath, tempPathOut) ? 0 : -90;
}
