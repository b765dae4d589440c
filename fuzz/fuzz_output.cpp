// The library's streamed output against the oracle: each input converted in
// both directions by the library, and walked again into a whole pugixml
// document saved at the end (tests/support/ReferenceOutput.h). Every byte of
// the output must be the same.
#include <algorithm>
#include <cstdint>
#include <string>

#include "converter/InputDocument.h"
#include "exports/SettingsState.h"
#include "exports/XmlTlvConverter.h"
#include "fuzz/FuzzSupport.h"
#include "support/ReferenceOutput.h"
#include "to_customer/DeviceToCustWalk.h"
#include "to_device/CustToDeviceWalk.h"

namespace {
const char kTimeField[] = "date_time_value";

std::string Reference(const std::string& input, const std::string& output, bool toDevice, bool option) {
    pugi::xml_document document;
    LoadInput(document, input.c_str(), pugi::encoding_auto);
    const CDictionary& dictionary = CDictionary::Shared();
    CReferenceOutput reference;
    if (toDevice) {
        std::int32_t operationClass = -1;
        CCustToDeviceWalk(dictionary, reference, operationClass).Run(document);
    } else {
        CDeviceToCustWalk(dictionary, reference, option, g_enableDefaultNamespace).Run(document);
    }
    reference.Save(output.c_str());
    return fuzz::ReadWholeFile(output);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A time of conversion differs from call to call.
    if (std::search(data, data + size, kTimeField, kTimeField + sizeof kTimeField - 1) != data + size) return 0;
    const std::string& folder = fuzz::ScratchFolder();
    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const bool option = (size & 1) != 0;
    g_enableDefaultNamespace = (size & 2) != 0;
    for (bool toDevice : {true, false}) {
        const std::string streamed = folder + "/streamed.xml";
        g_converter.m_operationClass = -1;
        if (toDevice) g_converter.ConvertCustToZK8(input.c_str(), streamed.c_str());
        else g_converter.ConvertZK8ToCust(input.c_str(), streamed.c_str(), option, g_enableDefaultNamespace);
        if (fuzz::ReadWholeFile(streamed) != Reference(input, folder + "/whole.xml", toDevice, option)) {
            fuzz::Fail(toDevice ? "streamed device output differs" : "streamed customer output differs");
        }
    }
    return 0;
}
