// The exports that take their options from an ini file, or from the host's
// saved copy of it when the copy is marked as the one to use.
#include <cstring>
#include <memory>
#include <string>

#include "zk8_xml_conv.h"

#include "exports/CallGuard.h"
#include "exports/ConversionDrivers.h"
#include "exports/SettingsState.h"
#include "exports/WorkingDirectory.h"
#include "platform/Platform.h"
#include "runlog/ZkLogFile.h"
#include "settings/Folders.h"
#include "settings/IniBackup.h"
#include "settings/IniFile.h"

namespace {

const char kSection[] = "Advanced";
const int kInvalidParameterCode = 32300;

void LogProgress(int code, const std::string& text = std::string()) {
    GetLogger().Log(g_moduleName, 2, code, text, g_workingDirectory);
}

enum class Direction { ToCustomer, ToDevice };

struct TemporaryCopy {
    const char* path;  // null: there is none
    ~TemporaryCopy() {
        if (path != nullptr) platform::DeleteFilePath(path);
    }
};

// An option switch must be 0 or 1; anything else is reported and replaced by
// the key's default.
int ReadSwitch(CIniFile& ini, const char* key, int defaultValue) {
    const int value = ini.GetInt(kSection, key, defaultValue);
    if (value == 0 || value == 1) return value;
    LogProgress(kInvalidParameterCode, key);
    return defaultValue;
}

int RunWithSettings(Direction direction, const char* inputPath, const char* outputPath,
                    const char* workingDirectory, const char* iniPath) {
    char folder[kPathBufferSize] = "";
    std::strncpy(folder, workingDirectory, kPathBufferSize - 1);
    if (folder[0] == '\0' || !FileExists(folder)) {
        std::strncpy(folder, GetAppDataPath(), kPathBufferSize - 1);
    }
    SetWorkingDirectory(folder);

    char backupPath[kPathBufferSize] = "";
    MakeBackupIniPath(iniPath, backupPath, folder);

    bool useSavedCopy = false;
    if (FileExists(backupPath)) {
        auto backup = std::make_unique<CIniFile>(backupPath);
        useSavedCopy = backup->GetInt(kSection, "SavedIniFile", 0) != 0;
    }

    std::string iniToRead = iniPath;
    char tempPath[kPathBufferSize] = "";
    TemporaryCopy copy{nullptr};
    if (useSavedCopy) {
        const int restored = RestoreBackupToTemp(tempPath, backupPath, g_workingDirectory);
        if (restored == -92) {
            LogProgress(13304);
            return -92;
        }
        // From here on the temporary copy goes when the call ends, however it ends.
        copy.path = tempPath;
        if (restored == -91 || restored == -90) {
            if (restored == -91) LogProgress(13303);
            else LogProgress(13305, "Restoration from Bkp to Tmp failed");
            return restored;
        }
        iniToRead = tempPath;
    }

    int result = 0;
    if (FileExists(iniToRead.c_str())) {
        auto ini = std::make_unique<CIniFile>(iniToRead.c_str());
        if (direction == Direction::ToDevice) {
            const int lengthAttribute = ReadSwitch(*ini, "bCreateLengthAttribute", 0);
            (void)lengthAttribute;  // read for validation only; it changes no output
            const int nilAttribute = ReadSwitch(*ini, "bCreateNilAttribute", 1);
            g_enableDefaultNamespace = ini->GetInt(kSection, "bEnableDefaultNamespace", 0) != 0;
            ini.reset();
            result = RunCustToZK8(inputPath, outputPath, static_cast<std::uint8_t>(nilAttribute));
        } else {
            const int nilAttribute = ini->GetInt(kSection, "bCreateNilAttribute", 1);
            g_enableDefaultNamespace = ini->GetInt(kSection, "bEnableDefaultNamespace", 0) != 0;
            ini.reset();
            result = RunZK8ToCust(inputPath, outputPath, nilAttribute == 0 ? 0 : 1);
        }
    } else {
        result = direction == Direction::ToDevice ? RunCustToZK8(inputPath, outputPath, 1)
                                                  : RunZK8ToCust(inputPath, outputPath, 1);
    }

    return result;
}

}  // namespace

extern "C" {

ZK8_EXPORT int ZK8_API ZK8ToCustLibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath) {
    return GuardedCall(inputPath, [&] {
        return RunWithSettings(Direction::ToCustomer, inputPath, outputPath, workingDirectory,
                               iniPath);
    });
}

ZK8_EXPORT int ZK8_API CustToZK8LibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath) {
    return GuardedCall(inputPath, [&] {
        return RunWithSettings(Direction::ToDevice, inputPath, outputPath, workingDirectory,
                               iniPath);
    });
}

}  // extern "C"
