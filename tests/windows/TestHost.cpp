// A Windows host program for the tests: it loads ZK8_XML_Conv.dll as the
// product's host does, looks up the nine exports by name and runs one group
// of end-to-end checks, each group in a process of its own.
//
//   zk8_test_host GROUP DLL [ARGUMENT...]      checks; last line "N passed, N failed"
//   zk8_test_host convert DIRECTION DLL INPUT OUTPUT WORKDIR [TAGLIST]
//                                              one conversion, for byte comparisons
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "zk8_xml_conv.h"

namespace {

// ---- checks -------------------------------------------------------------

int g_passed = 0;
int g_failed = 0;

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\0') continue;  // UTF-16 text reads as its low bytes
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

void Check(bool ok, const std::string& what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

void CheckEqual(const std::string& actual, const std::string& expected, const std::string& what) {
    Check(actual == expected, what + "\n  expected: " + Printable(expected) +
                                  "\n  actual:   " + Printable(actual));
}

void CheckResult(int actual, int expected, const std::string& what) {
    Check(actual == expected,
          what + ": result " + std::to_string(actual) + ", expected " + std::to_string(expected));
}

// ---- files --------------------------------------------------------------

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Utf16(const std::string& latin1) {
    std::string bytes;
    for (char c : latin1) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string Utf16File(const std::string& latin1) { return "\xFF\xFE" + Utf16(latin1); }

// A fresh folder below the system's temporary folder, removed at the end.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& name) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        m_path = std::string(temp) + "zk8-" + name + "-" + std::to_string(GetCurrentProcessId());
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// ---- the library --------------------------------------------------------

struct Library {
    explicit Library(const std::string& path) : module(LoadLibraryA(path.c_str())) {
        Check(module != nullptr, "LoadLibraryA " + path);
        if (module == nullptr) std::exit(2);
        ZK8ToCust = Find<decltype(ZK8ToCust)>("ZK8ToCust");
        ZK8ToCustExt = Find<decltype(ZK8ToCustExt)>("ZK8ToCustExt");
        ZK8ToCustLibStd = Find<decltype(ZK8ToCustLibStd)>("ZK8ToCustLibStd");
        CustToZK8 = Find<decltype(CustToZK8)>("CustToZK8");
        CustToZK8WithLengthAttribute =
            Find<decltype(CustToZK8WithLengthAttribute)>("CustToZK8WithLengthAttribute");
        CustToZK8Ext = Find<decltype(CustToZK8Ext)>("CustToZK8Ext");
        CustToZK8ExtWithLengthAttribute =
            Find<decltype(CustToZK8ExtWithLengthAttribute)>("CustToZK8ExtWithLengthAttribute");
        CustToZK8LibStd = Find<decltype(CustToZK8LibStd)>("CustToZK8LibStd");
        CreateTagList = Find<decltype(CreateTagList)>("CreateTagList");
    }
    ~Library() {
        if (module != nullptr) FreeLibrary(module);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    template <typename Function>
    Function Find(const char* name) {
        FARPROC address = GetProcAddress(module, name);
        Check(address != nullptr, std::string("export ") + name);
        if (address == nullptr) std::exit(2);
        return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    }

    HMODULE module;
    // The types come from the public header, calling convention included.
    decltype(&::ZK8ToCust) ZK8ToCust;
    decltype(&::ZK8ToCustExt) ZK8ToCustExt;
    decltype(&::ZK8ToCustLibStd) ZK8ToCustLibStd;
    decltype(&::CustToZK8) CustToZK8;
    decltype(&::CustToZK8WithLengthAttribute) CustToZK8WithLengthAttribute;
    decltype(&::CustToZK8Ext) CustToZK8Ext;
    decltype(&::CustToZK8ExtWithLengthAttribute) CustToZK8ExtWithLengthAttribute;
    decltype(&::CustToZK8LibStd) CustToZK8LibStd;
    decltype(&::CreateTagList) CreateTagList;
};

// ---- expected texts -----------------------------------------------------

const char kAppDataFolder[] = "C:\\ProgramData\\ORVANE\\Kelmora";
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
const std::string kXsiRoot = "<scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";

const std::string kCustomerXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles><article mode=\"write\">"
    "<plu_no>12</plu_no></article></articles></scaledata>";
// Temp.xml, the UTF-16 copy of kCustomerXml.
const std::string kCustomerTempXml =
    Utf16File("<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><articles><article "
              "mode=\"write\"><plu_no>12</plu_no></article></articles></scaledata>");
const std::string kDeviceOutput = Utf16File(
    kDeclaration + "<dat><_/><art m=\"w\"><dvn>0</dvn><plu>12</plu></art><_/></dat>");

const std::string kRunLogHead =
    "Date/Time            : Modulename          LogID   LogText\r\n" + std::string(115, '-') +
    "\r\n<TS> : ZkLog                1       Create LogFile\r\n\r\n";
const std::string kRewriteEntries =
    "<TS> : ZK8_XML_Conv         32301   Conversion:  Start of Utf8ToUtf16 conversion\r\n"
    "<TS> : ZK8_XML_Conv         32005   UTF8 to UTF16 conversion successfull \r\n";
const std::string kOptionEntries =
    "<TS> : ZK8_XML_Conv         32013   Create length attribute in xml data is enabled \r\n"
    "<TS> : ZK8_XML_Conv         32011   Create nil-attribute in xml data is enabled \r\n"
    "<TS> : ZK8_XML_Conv         32016   Create default namespace in xml data is disabled \r\n";

std::string Masked(const std::string& text) {
    static const std::regex stamp(R"(\d{4}\.\d{2}\.\d{2} \d{2}\.\d{2}\.\d{2} : )");
    return std::regex_replace(text, stamp, "<TS> : ");
}

void MakeAppDataFolder() {
    CreateDirectoryA("C:\\ProgramData\\ORVANE", nullptr);
    CreateDirectoryA(kAppDataFolder, nullptr);
}

// ---- groups -------------------------------------------------------------

using Arguments = std::vector<std::string>;

// The export table as a host sees it, and the module's own name.
void ExportsGroup(Library& library, const Arguments&) {
    Check(GetProcAddress(library.module, "CustToZK8ExtWithLengthAttribute") ==
              GetProcAddress(library.module, "CustToZK8Ext"),
          "CustToZK8ExtWithLengthAttribute is a second name of CustToZK8Ext");
    Check(GetProcAddress(library.module, "CustToZK8WithLengthAttribute") !=
              GetProcAddress(library.module, "CustToZK8"),
          "CustToZK8WithLengthAttribute is an entry point of its own");
    for (const char* decorated : {"ZK8ToCust@8", "_ZK8ToCust@8", "CreateTagList@4"})
        Check(GetProcAddress(library.module, decorated) == nullptr,
              std::string("no decorated name ") + decorated);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(library.module, path, sizeof path);
    const std::string name = path;
    Check(name.size() > 17 && name.substr(name.size() - 17) == "\\ZK8_XML_Conv.dll",
          "module file name " + name);
}

// Customer to device: output, run log, Temp.xml in the application-data
// folder, UTF-16 input, a missing input.
void ToDeviceGroup(Library& library, const Arguments&) {
    MakeAppDataFolder();
    const std::string temp = std::string(kAppDataFolder) + "\\Temp.xml";
    DeleteFileA(temp.c_str());
    WorkFolder folder("to-device");
    WriteFile(folder / "in.xml", kCustomerXml);
    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=3\r\n");
    CheckResult(library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                     folder.Path().c_str()),
                0, "CustToZK8Ext");
    CheckEqual(ReadFile(folder / "out.xml"), kDeviceOutput, "device output");
    CheckEqual(Masked(ReadFile(folder / "Runlog.log")), kRunLogHead + kRewriteEntries + kOptionEntries,
               "run log in the given working directory");
    CheckEqual(ReadFile(temp), kCustomerTempXml, "Temp.xml in the common application-data folder");

    WriteFile(folder / "in16.xml",
              Utf16File("<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><articles><article "
                        "mode=\"write\"><plu_no>12</plu_no></article></articles></scaledata>"));
    CheckResult(library.CustToZK8((folder / "in16.xml").c_str(), (folder / "out16.xml").c_str()), 0,
                "CustToZK8 with UTF-16 input");
    CheckEqual(ReadFile(folder / "out16.xml"), kDeviceOutput, "device output of UTF-16 input");

    CheckResult(library.CustToZK8Ext((folder / "none.xml").c_str(), (folder / "x.xml").c_str(),
                                     folder.Path().c_str()),
                -1, "missing input");
    Check(!Exists(folder / "x.xml"), "no output for a missing input");
    Check(Masked(ReadFile(folder / "Runlog.log"))
                  .find("ZK8_XML_Conv         22000   XML input file doesn't exist. \r\n") !=
              std::string::npos,
          "entry 22000 for a missing input");
}

// Device to customer: output and status file; UTF-8 input read from Temp.xml.
void ToCustomerGroup(Library& library, const Arguments&) {
    MakeAppDataFolder();
    WorkFolder folder("to-customer");
    WriteFile(folder / "in.xml",
              Utf16File("<dat><art m=\"w\"><plu>1</plu></art><exs><exc><eno>5</eno><err>a</err>"
                        "</exc></exs></dat>"));
    CheckResult(library.ZK8ToCustExt((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                     folder.Path().c_str()),
                0, "ZK8ToCustExt");
    CheckEqual(ReadFile(folder / "out.xml"),
               Utf16File(kDeclaration + kXsiRoot +
                         "<articles><article mode=\"write\"><plu_no>1</plu_no></article><exceptions>"
                         "<exception><error_no>5</error_no><error>a</error></exception></exceptions>"
                         "</articles></scaledata>"),
               "customer output");
    CheckEqual(ReadFile(folder / "out.xml_Status.xml"),
               Utf16File("<?xml version=\"1.0\"?>\n<status>\n\t<exceptions>\n\t\t<exception>\n"
                         "\t\t\t<error_no>5</error_no>\n\t\t\t<error>a</error>\n\t\t</exception>\n"
                         "\t</exceptions>\n</status>\n"),
               "status file");

    WriteFile(folder / "in8.xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?><dat><art><nam>"
                                  "\xC3\x84pfel</nam></art></dat>");
    CheckResult(library.ZK8ToCust((folder / "in8.xml").c_str(), (folder / "out8.xml").c_str()), 0,
                "ZK8ToCust with UTF-8 input");
    CheckEqual(ReadFile(std::string(kAppDataFolder) + "\\Temp.xml"),
               Utf16File("<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><art><nam>\xC4pfel</nam>"
                         "</art></dat>"),
               "Temp.xml of the UTF-8 input");
    CheckEqual(ReadFile(folder / "out8.xml"),
               Utf16File(kDeclaration + kXsiRoot +
                         "<articles><article><name>\xC4pfel</name></article></articles></scaledata>"),
               "customer output of the UTF-8 input");
}

// The tag list before and after a conversion, and after reloading the DLL.
void TagListGroup(Library& library, const Arguments& arguments) {
    WorkFolder folder("taglist");
    const std::string list = folder / "tags.txt";
    CheckResult(library.CreateTagList(list.c_str()), 0, "CreateTagList before any conversion");
    CheckEqual(ReadFile(list), "", "empty tag list before any conversion");
    CheckResult(library.CreateTagList((folder / "no\\such\\tags.txt").c_str()), -1,
                "CreateTagList into a missing folder");

    WriteFile(folder / "in.xml", kCustomerXml);
    CheckResult(library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                     folder.Path().c_str()),
                0, "CustToZK8Ext");
    CheckResult(library.CreateTagList(list.c_str()), 0, "CreateTagList after a conversion");
    const std::string text = ReadFile(list);
    Check(std::count(text.begin(), text.end(), '\n') == 898, "898 lines in the tag list");
    CheckEqual(text.substr(0, 35), "001   acs          account_status\r\n", "first tag list line");
    Check(text.find("\r\n032   art          article\r\n") != std::string::npos, "line of art");

    // Unloading destroys the converter; a new load starts with an empty one.
    FreeLibrary(library.module);
    library.module = nullptr;
    Library reloaded(arguments[0]);
    CheckResult(reloaded.CreateTagList(list.c_str()), 0, "CreateTagList after a reload");
    CheckEqual(ReadFile(list), "", "empty tag list after a reload");
}

std::string CustomerOutput(const std::string& rootAttributes, bool nil) {
    return Utf16File(kDeclaration + "<scaledata" + rootAttributes + "><articles><article>" +
                     (nil ? "<last_change xsi:nil=\"true\"/>" : "<last_change/>") +
                     "</article></articles></scaledata>");
}

// Temporary names end in ".TMP" on Windows, in ".tmp" under Wine.
bool HasTempCopies(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (lstrcmpiA(entry.path().extension().string().c_str(), ".tmp") == 0) return true;
    return false;
}

// The settings-driven exports: ini file, marked backup (also read-only),
// application-data folder as working directory, the default namespace.
void SettingsGroup(Library& library, const Arguments&) {
    MakeAppDataFolder();
    WorkFolder folder("settings");
    const std::string input = folder / "in.xml", output = folder / "out.xml";
    const std::string ini = folder / "Trans.ini", backup = folder / "SavedData\\Trans_bkp.ini";
    WriteFile(input, Utf16File("<dat><art><lch/></art></dat>"));
    const std::string xsi = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

    WriteFile(ini, "[Advanced]\r\nbCreateNilAttribute=0\r\n");
    CheckResult(library.ZK8ToCustLibStd(input.c_str(), output.c_str(), folder.Path().c_str(),
                                        ini.c_str()),
                0, "ZK8ToCustLibStd");
    CheckEqual(ReadFile(output), CustomerOutput("", false), "option 0 from the ini file");

    WriteFile(ini, "[Advanced]\r\nbCreateNilAttribute=1\r\n");
    CreateDirectoryA((folder / "SavedData").c_str(), nullptr);
    WriteFile(backup, "[Advanced]\r\nSavedIniFile=1\r\nbCreateNilAttribute=0\r\n");
    for (bool readOnly : {false, true}) {
        const std::string what = readOnly ? "read-only backup" : "backup";
        if (readOnly) SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_READONLY);
        CheckResult(library.ZK8ToCustLibStd(input.c_str(), output.c_str(), folder.Path().c_str(),
                                            ini.c_str()),
                    0, "ZK8ToCustLibStd with a marked " + what);
        CheckEqual(ReadFile(output), CustomerOutput("", false), "option 0 from the marked " + what);
        Check(!HasTempCopies(folder.Path()), "no temporary copy left of the " + what);
    }
    SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(backup.c_str());

    // No usable working directory: the application-data folder.
    const std::string appLog = std::string(kAppDataFolder) + "\\Runlog.log";
    const std::string appIni = std::string(kAppDataFolder) + "\\Interface.ini";
    WriteFile(appIni, "[LogFiles]\r\nLoggingLevel=2\r\n");
    for (const std::string& workdir : {std::string(), folder / "missing"}) {
        DeleteFileA(appLog.c_str());
        CheckResult(library.ZK8ToCustLibStd(input.c_str(), output.c_str(), workdir.c_str(),
                                            ini.c_str()),
                    0, "ZK8ToCustLibStd with working directory '" + workdir + "'");
        CheckEqual(Masked(ReadFile(appLog)),
                   kRunLogHead +
                       "<TS> : ZK8_XML_Conv         32301   Conversion:  Start of Utf8ToUtf16 conversion\r\n"
                       "<TS> : ZK8_XML_Conv         32301   Conversion:  NOONE:Utf 16 file\r\n",
                   "run log in the application-data folder");
    }
    DeleteFileA(appLog.c_str());
    DeleteFileA(appIni.c_str());
    Check(!Exists(folder / "Runlog.log"), "no run log in the work folder");

    // The default namespace read by CustToZK8LibStd stays for later calls.
    WriteFile(folder / "cust.xml", "<?xml version='1.0' encoding='UTF-8'?><scaledata/>");
    WriteFile(ini, "[Advanced]\r\nbEnableDefaultNamespace=1\r\n");
    CheckResult(library.CustToZK8LibStd((folder / "cust.xml").c_str(), (folder / "dev.xml").c_str(),
                                        folder.Path().c_str(), ini.c_str()),
                0, "CustToZK8LibStd");
    CheckResult(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0,
                "ZK8ToCustExt after CustToZK8LibStd");
    CheckEqual(ReadFile(output),
               CustomerOutput(xsi + " xmlns=\"http://www.orvane.com/2011/xmltlv\"", true),
               "default namespace kept for later conversions");
}

// The plain exports' working directory: the loaded ZKHost.dll's folder, or
// without it the executable's folder; both with a trailing backslash.
void WorkingDirectoryCheck(Library& library, const std::string& expectedFolder) {
    MakeAppDataFolder();
    WorkFolder folder("workdir");
    const std::string log = expectedFolder + "Runlog.log";
    DeleteFileA(log.c_str());
    WriteFile(folder / "in.xml", kCustomerXml);
    CheckResult(library.CustToZK8((folder / "in.xml").c_str(), (folder / "a.xml").c_str()), 0,
                "CustToZK8");
    CheckResult(library.CustToZK8WithLengthAttribute((folder / "in.xml").c_str(),
                                                     (folder / "b.xml").c_str()),
                0, "CustToZK8WithLengthAttribute");
    CheckEqual(ReadFile(folder / "a.xml"), kDeviceOutput, "output of CustToZK8");
    CheckEqual(ReadFile(folder / "b.xml"), kDeviceOutput, "output of CustToZK8WithLengthAttribute");
    CheckEqual(Masked(ReadFile(log)), kRunLogHead + kOptionEntries + kOptionEntries,
               "run log in " + expectedFolder);
    Check(!Exists(folder / "Runlog.log"), "no run log in the work folder");
    DeleteFileA(log.c_str());
}

void HostModuleGroup(Library& library, const Arguments& arguments) {
    const std::string hostPath = arguments.at(1);
    Check(LoadLibraryA(hostPath.c_str()) != nullptr, "LoadLibraryA " + hostPath);
    WorkingDirectoryCheck(library, hostPath.substr(0, hostPath.rfind('\\') + 1));
}

void ExecutableFolderGroup(Library& library, const Arguments& arguments) {
    const std::string exeFolder = arguments.at(1);
    WorkingDirectoryCheck(library, exeFolder);

    // Without the application-data folder, Temp.xml goes beside the executable.
    const std::string appTemp = std::string(kAppDataFolder) + "\\Temp.xml";
    const std::string exeTemp = exeFolder + "Temp.xml";
    // And with a missing working directory too, the logging settings are
    // looked for there: the reader leaves an empty Interface.ini behind.
    const std::string exeIni = exeFolder + "Interface.ini";
    for (const std::string& path : {appTemp, exeTemp, exeIni}) DeleteFileA(path.c_str());
    Check(RemoveDirectoryA(kAppDataFolder) != 0, "application-data folder removed");
    WorkFolder folder("exe-temp");
    WriteFile(folder / "in.xml", kCustomerXml);
    CheckResult(library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                     (folder / "missing").c_str()),
                0, "CustToZK8Ext without the application-data folder");
    CheckEqual(ReadFile(exeTemp), kCustomerTempXml, "Temp.xml beside the executable");
    CheckEqual(ReadFile(folder / "out.xml"), kDeviceOutput, "device output");
    Check(Exists(exeIni), "Interface.ini looked for beside the executable");
    for (const std::string& path : {exeTemp, exeIni}) DeleteFileA(path.c_str());
    MakeAppDataFolder();
}

// Run-log rotation at RunLogSize: no entry lost, one save generation.
void RunLogGroup(Library& library, const Arguments&) {
    MakeAppDataFolder();
    WorkFolder folder("runlog");
    const std::string log = folder / "Runlog.log", saved = folder / "Runlog_sav.log";
    WriteFile(folder / "Interface.ini", "[LogFiles]\r\nLoggingLevel=3\r\nRunLogSize=1000\r\n");
    WriteFile(folder / "in.xml", kCustomerXml);
    const std::string callEntries = kRewriteEntries + kOptionEntries;
    auto convert = [&] {
        return library.CustToZK8Ext((folder / "in.xml").c_str(), (folder / "out.xml").c_str(),
                                    folder.Path().c_str());
    };

    CheckResult(convert(), 0, "first conversion");
    const std::string first = ReadFile(log);
    CheckEqual(Masked(first), kRunLogHead + callEntries, "run log below the limit");
    Check(!Exists(saved), "no save file below the limit");
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[16];
    std::snprintf(date, sizeof date, "%04d.%02d.%02d ", now.wYear, now.wMonth, now.wDay);
    Check(first.compare(first.find("-\r\n") + 3, 11, date) == 0, "time stamp of today");

    CheckResult(convert(), 0, "second conversion");
    const std::string savedBytes = ReadFile(saved);
    const std::string savedText = Masked(savedBytes), current = Masked(ReadFile(log));
    Check(savedBytes.size() >= 1000, "save file holds the entry that reached the limit");
    Check(savedBytes.rfind("\r\n", savedBytes.size() - 3) + 2 < 1000,
          "rotated at the first entry that reached the limit");
    Check(savedText.compare(0, kRunLogHead.size(), kRunLogHead) == 0 &&
              current.compare(0, kRunLogHead.size(), kRunLogHead) == 0,
          "both files begin with the header");
    CheckEqual(savedText.substr(kRunLogHead.size()) + current.substr(kRunLogHead.size()),
               callEntries + callEntries, "every entry in one of the two files");

    for (int i = 0; i < 3; ++i) CheckResult(convert(), 0, "further conversion");
    const std::string replaced = Masked(ReadFile(saved));
    // Replaced at each rotation: never more than the limit and one entry.
    Check(replaced != savedText && ReadFile(saved).size() < 1000 + 120, "save file replaced");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        files += entry.path().filename().string().rfind("Runlog", 0) == 0;
    Check(files == 2, "the run log and one save file");
}

// The version resource of each DLL named.
void VersionGroup(Library&, const Arguments& arguments) {
    for (const std::string& path : arguments) {
        DWORD handle = 0;
        std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &handle));
        Check(!data.empty() &&
                  GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()),
              "version resource of " + path);
        if (data.empty()) continue;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size);
        Check(fixed != nullptr && fixed->dwFileVersionMS == 0x00020002 &&
                  fixed->dwFileVersionLS == 0x00370001 && fixed->dwProductVersionMS == 0x00020002 &&
                  fixed->dwProductVersionLS == 0x00370001,
              "fixed file and product version 2.2.55.1 of " + path);
        const std::pair<const char*, const char*> strings[] = {
            {"FileDescription", "XML to XmlTlv Converter"},
            {"FileVersion", "2.2.55.1"},
            {"ProductVersion", "Kelmora.XML_Converter.2.2.55.1"},
            {"OriginalFilename", "ZK8_XML_Conv.dll"},
        };
        for (const auto& [key, expected] : strings) {
            char* value = nullptr;
            const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
            VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size);
            CheckEqual(value != nullptr ? value : "", expected, std::string(key) + " of " + path);
        }
    }
}

int Convert(const Arguments& arguments) {
    if (arguments.size() < 5) return 2;
    Library library(arguments[1]);
    const char* input = arguments[2].c_str();
    const char* output = arguments[3].c_str();
    const char* workdir = arguments[4].c_str();
    const int result = arguments[0] == "to-device" ? library.CustToZK8Ext(input, output, workdir)
                                                   : library.ZK8ToCustExt(input, output, workdir);
    if (result == 0 && arguments.size() > 5) return library.CreateTagList(arguments[5].c_str()) == 0 ? 0 : 1;
    if (result != 0) std::printf("result %d\n", result);
    return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments(argv + 1, argv + argc);
    if (arguments.size() >= 2 && arguments[0] == "convert")
        return Convert(Arguments(arguments.begin() + 1, arguments.end()));

    const std::map<std::string, std::function<void(Library&, const Arguments&)>> groups = {
        {"exports", ExportsGroup},       {"to-device", ToDeviceGroup},
        {"to-customer", ToCustomerGroup}, {"taglist", TagListGroup},
        {"settings", SettingsGroup},     {"host-module", HostModuleGroup},
        {"exe-folder", ExecutableFolderGroup}, {"runlog", RunLogGroup},
        {"version", VersionGroup},
    };
    const auto group = arguments.empty() ? groups.end() : groups.find(arguments[0]);
    if (group == groups.end() || arguments.size() < 2) {
        std::printf("usage: zk8_test_host GROUP DLL [ARGUMENT...] | convert ...\n");
        return 2;
    }
    {
        Library library(arguments[1]);
        group->second(library, Arguments(arguments.begin() + 1, arguments.end()));
    }
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
