// The shipped examples convert to the results shipped beside them
// (examples/results, shown as UTF-8 text; the files themselves are UTF-16),
// and a customer file converted to device XML and back shows what survives.
#include <gtest/gtest.h>

#include "support/Library.h"
#include "support/TempFolder.h"

namespace {

const std::string kExamples = ZK8_EXAMPLES_DIR;

std::string Result(const std::string& name) { return ReadFile(kExamples + "/results/" + name); }

TEST(ExamplesTest, CatalogueToDeviceAndBack) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    Library library;
    const std::string device = folder / "device.xml", back = folder / "back.xml";
    for (const char* input : {"customer_catalogue.xml", "customer_catalogue_utf16.xml"}) {
        ASSERT_EQ(library.CustToZK8Ext((kExamples + "/" + input).c_str(), device.c_str(),
                                       folder.Path().c_str()),
                  0);
        EXPECT_EQ(Utf8FromUtf16(ReadFile(device)), Result("customer_catalogue_device.txt"))
            << input;
    }
    // What the round trip changes: the list's mode is gone (the device keeps
    // modes per record), the `taf` record gains its device number "ts", and
    // the label transfer comes back as a record with its header fields; the
    // record's own name field is not carried.
    ASSERT_EQ(library.ZK8ToCustExt(device.c_str(), back.c_str(), folder.Path().c_str()), 0);
    EXPECT_EQ(Utf8FromUtf16(ReadFile(back)), Result("customer_catalogue_roundtrip.txt"));
}

TEST(ExamplesTest, DeviceFilesToCustomer) {
    TempFolder folder;
    UseAppDataFolderIn(folder);
    Library library;
    for (const std::string name : {"device_reply", "device_label_transfer"}) {
        const std::string output = folder / (name + ".xml");
        ASSERT_EQ(library.ZK8ToCustExt((kExamples + "/" + name + ".xml").c_str(), output.c_str(),
                                       folder.Path().c_str()),
                  0);
        EXPECT_EQ(Utf8FromUtf16(ReadFile(output)), Result(name + "_customer.txt"));
        EXPECT_EQ(Utf8FromUtf16(ReadFile(output + "_Status.xml")),
                  Result(name + "_customer_status.txt"));
    }
}

}  // namespace
