#include "engine/SettingsDriven.h"

#include <cstring>
#include <memory>
#include <string>

#include "ResultCode.h"
#include "engine/ConversionDrivers.h"
#include "engine/WorkingDirectory.h"
#include "platform/File.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "settings/IniBackup.h"
#include "settings/IniFile.h"

namespace {

const char kSection[] = "Advanced";
const int kInvalidParameterCode = 32300;

void LogProgress(CSession& session, int code, const std::string& text = std::string()) {
    GetLogger().Log(g_moduleName, 2, code, text, session.Log());
}

struct TemporaryCopy {
    const char* path;  // null or empty: there is none
    ~TemporaryCopy() {
        if (path != nullptr && *path != '\0') platform::DeleteFilePath(path);
    }
};

// An option switch must be 0 or 1; anything else is reported and replaced by
// the key's default.
int ReadSwitch(CSession& session, CIniFile& ini, const char* key, int defaultValue) {
    const int value = ini.GetInt(kSection, key, defaultValue);
    if (value == 0 || value == 1) return value;
    LogProgress(session, kInvalidParameterCode, key);
    return defaultValue;
}

}  // namespace

int RunWithSettings(CSession& session, bool toDevice, const char* inputPath, const char* outputPath,
                    const char* workingDirectory, const char* iniPath) {
    char folder[kPathBufferSize] = "";
    std::strncpy(folder, workingDirectory, kPathBufferSize - 1);
    if (folder[0] == '\0' || !FileExists(folder)) {
        std::strncpy(folder, GetAppDataPath(session.appDataPath), kPathBufferSize - 1);
    }
    SetWorkingDirectory(session, folder);

    char backupPath[kPathBufferSize] = "";
    MakeBackupIniPath(iniPath, backupPath, folder);

    bool useSavedCopy = false;
    if (FileExists(backupPath)) {
        // A name at a fixed place below the working directory: never read
        // through a link.
        auto backup = std::make_unique<CIniFile>(backupPath, platform::Links::NotLast);
        useSavedCopy = backup->GetInt(kSection, "SavedIniFile", 0) != 0;
    }

    std::string iniToRead = iniPath;
    char tempPath[kPathBufferSize] = "";
    // The temporary copy goes when the call ends, however it ends (also when
    // copying into it found no memory); after -92 the name is empty.
    TemporaryCopy copy{tempPath};
    if (useSavedCopy) {
        const int restored = RestoreBackupToTemp(tempPath, backupPath, session.workingDirectory);
        if (restored == kTemporaryIniNotCreated) {
            LogProgress(session, 13304);
            return kTemporaryIniNotCreated;
        }
        if (restored == kSavedIniMissing || restored == kIniNotRestored) {
            if (restored == kSavedIniMissing) LogProgress(session, 13303);
            else LogProgress(session, 13305, "Restoration from Bkp to Tmp failed");
            return restored;
        }
        iniToRead = tempPath;
    }

    // The caller's ini file is read as the caller's path leads; the saved
    // copy, made here, through no link. One that is a pipe, a socket or a
    // device is not read, and counts as missing.
    std::unique_ptr<CIniFile> ini;
    if (FileExists(iniToRead.c_str())) {
        ini = std::make_unique<CIniFile>(iniToRead.c_str(),
                                         useSavedCopy ? platform::Links::NotLast : platform::Links::Follow);
        if (ini->IsSpecialFile()) ini.reset();
    }

    int result = 0;
    if (ini) {
        if (toDevice) {
            const int lengthAttribute = ReadSwitch(session, *ini, "bCreateLengthAttribute", 0);
            (void)lengthAttribute;  // read for validation only; it changes no output
            const int nilAttribute = ReadSwitch(session, *ini, "bCreateNilAttribute", 1);
            session.defaultNamespace = ini->GetInt(kSection, "bEnableDefaultNamespace", 0) != 0;
            ini.reset();
            result = RunCustToZK8(session, inputPath, outputPath, nilAttribute == 1);
        } else {
            const int nilAttribute = ini->GetInt(kSection, "bCreateNilAttribute", 1);
            session.defaultNamespace = ini->GetInt(kSection, "bEnableDefaultNamespace", 0) != 0;
            ini.reset();
            result = RunZK8ToCust(session, inputPath, outputPath, nilAttribute != 0);
        }
    } else {
        result = toDevice ? RunCustToZK8(session, inputPath, outputPath, true)
                          : RunZK8ToCust(session, inputPath, outputPath, true);
    }

    return result;
}
