// The settings-driven exports: options from an ini file or its saved copy,
// and the state they leave for later conversions.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
const std::string kXsi = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
const std::string kDefaultNamespace = " xmlns=\"http://www.orvane.com/2011/xmltlv\"";
const std::string kDeviceInput = "<dat><art><lch/></art></dat>";

std::string Utf16File(const std::string& text) { return "\xFF\xFE" + Utf16(text); }

std::string CustomerOutput(const std::string& rootAttributes, bool nil) {
    return Utf16File(kDeclaration + "<scaledata" + rootAttributes + "><articles><article>" +
                     (nil ? "<last_change xsi:nil=\"true\"/>" : "<last_change/>") +
                     "</article></articles></scaledata>");
}

class SettingsExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        appData = UseAppDataFolderIn(folder);
        WriteFile(input, Utf16File(kDeviceInput));
        WriteFile(customerInput, "<?xml version='1.0' encoding='UTF-8'?><scaledata/>");
    }
    int ToCustomer(const std::string& workdir, const std::string& ini) {
        return library.ZK8ToCustLibStd(input.c_str(), output.c_str(), workdir.c_str(), ini.c_str());
    }
    int ToDevice(const std::string& ini) {
        return library.CustToZK8LibStd(customerInput.c_str(), (folder / "dev.xml").c_str(),
                                       folder.Path().c_str(), ini.c_str());
    }

    TempFolder folder;
    std::string appData;
    const std::string input = folder / "in.xml";
    const std::string customerInput = folder / "cust.xml";
    const std::string output = folder / "out.xml";
    const std::string ini = folder / "Trans.ini";
    Library library;
};

TEST_F(SettingsExportsTest, NilOptionFromTheIniFile) {
    const std::pair<const char*, bool> cases[] = {
        {"[Advanced]\nbCreateNilAttribute=0\n", false},
        {"[advanced]\r\nbCreateNilAttribute = 7 \r\n", true},
        {"[Advanced]\n", true},
    };
    for (const auto& [text, nil] : cases) {
        WriteFile(ini, text);
        ASSERT_EQ(ToCustomer(folder.Path(), ini), 0);
        EXPECT_EQ(ReadFile(output), CustomerOutput(nil ? kXsi : "", nil)) << text;
    }
    // Without an ini file the option is 1.
    ASSERT_EQ(ToCustomer(folder.Path(), folder / "missing.ini"), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi, true));
}

TEST_F(SettingsExportsTest, DefaultNamespaceStaysUntilAnIniIsReadAgain) {
    WriteFile(ini, "[Advanced]\nbEnableDefaultNamespace=1\n");
    ASSERT_EQ(ToDevice(ini), 0);
    ASSERT_EQ(library.ZK8ToCustExt(input.c_str(), output.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi + kDefaultNamespace, true));

    // A missing ini file leaves the switch as it was ...
    ASSERT_EQ(ToCustomer(folder.Path(), folder / "missing.ini"), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi + kDefaultNamespace, true));
    // ... an ini file without the key turns it off.
    WriteFile(ini, "[Advanced]\n");
    ASSERT_EQ(ToDevice(ini), 0);
    ASSERT_EQ(library.ZK8ToCust(input.c_str(), output.c_str()), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi, true));
}

TEST_F(SettingsExportsTest, MissingOrEmptyWorkingDirectoryMeansApplicationData) {
    WriteFile(appData + "/Interface.ini", "[LogFiles]\nLoggingLevel=2\n");
    for (const std::string workdir : {std::string(), folder / "missing"}) {
        std::remove((appData + "/Runlog.log").c_str());
        ASSERT_EQ(ToCustomer(workdir, ini), 0);
        EXPECT_NE(ReadFile(appData + "/Runlog.log").find("NOONE:Utf 16 file"), std::string::npos);
        EXPECT_FALSE(Exists(folder / "Runlog.log"));
        EXPECT_FALSE(Exists(folder / "missing"));
    }
}

TEST_F(SettingsExportsTest, SavedCopyIsUsedWhenMarkedAndRemovedAfterwards) {
    WriteFile(ini, "[Advanced]\nbCreateNilAttribute=1\n");
    std::filesystem::create_directories(folder / "SavedData");
    WriteFile(folder / "SavedData/Trans_bkp.ini",
              "[Advanced]\nSavedIniFile=1\nbCreateNilAttribute=0\n");
    ASSERT_EQ(ToCustomer(folder.Path(), ini), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput("", false));
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_NE(entry.path().extension(), ".TMP") << entry.path();

    // Not marked: the given ini file counts.
    WriteFile(folder / "SavedData/Trans_bkp.ini",
              "[Advanced]\nSavedIniFile=0\nbCreateNilAttribute=0\n");
    ASSERT_EQ(ToCustomer(folder.Path(), ini), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi, true));
}

TEST_F(SettingsExportsTest, InvalidSwitchIsReportedAndItsDefaultUsed) {
    WriteFile(folder / "Interface.ini", "[LogFiles]\nLoggingLevel=2\n");
    WriteFile(ini, "[Advanced]\nbCreateLengthAttribute=2\nbCreateNilAttribute=x1\n");
    ASSERT_EQ(ToDevice(ini), 0);
    EXPECT_TRUE(Exists(folder / "dev.xml"));
    const std::string log = ReadFile(folder / "Runlog.log");
    EXPECT_NE(log.find("32300   Invalid parameter, default value used for bCreateLengthAttribute\r\n"),
              std::string::npos)
        << log;
    // "x1" reads as 0, a valid value: no entry for it, and the option is 0.
    EXPECT_EQ(log.find("used for bCreateNilAttribute"), std::string::npos);
    EXPECT_NE(log.find("32014   Create length attribute in xml data is disabled"),
              std::string::npos);

    WriteFile(ini, "[Advanced]\nbCreateNilAttribute=-1\n");
    ASSERT_EQ(ToDevice(ini), 0);
    const std::string later = ReadFile(folder / "Runlog.log").substr(log.size());
    EXPECT_NE(later.find("32300   Invalid parameter, default value used for bCreateNilAttribute\r\n"),
              std::string::npos)
        << later;
    EXPECT_NE(later.find("32013   Create length attribute in xml data is enabled"),
              std::string::npos);
}

TEST_F(SettingsExportsTest, MissingInputAfterTheIniHandling) {
    EXPECT_EQ(library.ZK8ToCustLibStd((folder / "none.xml").c_str(), output.c_str(),
                                      folder.Path().c_str(), ini.c_str()),
              -1);
    EXPECT_EQ(library.CustToZK8LibStd((folder / "none.xml").c_str(), output.c_str(),
                                      folder.Path().c_str(), ini.c_str()),
              -1);
    EXPECT_FALSE(Exists(output));
}

// A host's session: every export in one process, in the order a host uses
// them; only the working directory, the default namespace and the operation
// class carry over from one call to the next.
TEST_F(SettingsExportsTest, AllNineExportsInOneProcess) {
    const std::string tags = folder / "tags.txt";
    ASSERT_EQ(library.CreateTagList(tags.c_str()), 0);
    EXPECT_EQ(ReadFile(tags), "");

    // The list mode "read" sets the operation class for the next run too.
    WriteFile(customerInput, "<?xml version='1.0' encoding='UTF-8'?><scaledata><articles "
                             "mode=\"read\"><article/></articles></scaledata>");
    const std::string device = folder / "dev.xml";
    ASSERT_EQ(library.CustToZK8(customerInput.c_str(), device.c_str()), 0);
    WriteFile(customerInput, "<?xml version='1.0' encoding='UTF-8'?><scaledata><article/>"
                             "</scaledata>");
    for (auto convert : {library.CustToZK8WithLengthAttribute}) {
        ASSERT_EQ(convert(customerInput.c_str(), device.c_str()), 0);
        EXPECT_EQ(ReadFile(device),
                  Utf16File(kDeclaration + "<dat><_/><art><dvn>fm</dvn></art><_/></dat>"));
    }
    ASSERT_EQ(library.CustToZK8ExtWithLengthAttribute(customerInput.c_str(), device.c_str(),
                                                      folder.Path().c_str()),
              0);
    EXPECT_EQ(ReadFile(device), Utf16File(kDeclaration + "<dat><_/><art><dvn>fm</dvn></art><_/></dat>"));

    WriteFile(ini, "[Advanced]\nbEnableDefaultNamespace=1\nbCreateNilAttribute=0\n");
    ASSERT_EQ(ToCustomer(folder.Path(), ini), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kDefaultNamespace, false));
    ASSERT_EQ(library.CustToZK8Ext(customerInput.c_str(), device.c_str(), folder.Path().c_str()), 0);
    ASSERT_EQ(library.ZK8ToCust(input.c_str(), output.c_str()), 0);
    EXPECT_EQ(ReadFile(output), CustomerOutput(kXsi + kDefaultNamespace, true));
    ASSERT_EQ(ToDevice(ini), 0);

    ASSERT_EQ(library.CreateTagList(tags.c_str()), 0);
    const std::string list = ReadFile(tags);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 898);
    EXPECT_NE(ReadFile(folder / "Runlog.log").find("32015   Create default namespace in xml "
                                                   "data is enabled \r\n"),
              std::string::npos);
}

}  // namespace
