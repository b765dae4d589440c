// The library's streamed output against the oracle: each input converted in
// both directions by the library (read from the file or, every other input,
// parsed from its bytes in memory), walked again into an output that writes
// after every few elements, and walked into a whole pugixml document saved at
// the end (tests/support/ReferenceOutput.h). Every byte must be the same.
#include <algorithm>
#include <cstdint>
#include <string>

#include "converter/InputDocument.h"
#include "output/StreamedOutput.h"
#include "encoding/InputBytes.h"
#include "platform/File.h"
#include "engine/WorkingDirectory.h"
#include "engine/XmlTlvConverter.h"
#include "fuzz/FuzzSupport.h"
#include "support/ReferenceOutput.h"
#include "to_customer/DeviceToCustWalk.h"
#include "to_device/CustToDeviceWalk.h"

namespace {
const char kTimeField[] = "date_time_value";

void Walk(const pugi::xml_document& document, COutputTree& output, bool toDevice, bool option,
          bool defaultNamespace) {
    const CDictionary& dictionary = CDictionary::Shared();
    if (toDevice) {
        std::int32_t operationClass = -1;
        CCustToDeviceWalk(dictionary, output, operationClass, nullptr).Run(document);
    } else {
        CErrorTable errors;
        CDeviceToCustWalk walk(dictionary, output, option, defaultNamespace, errors, nullptr);
        walk.Run(document);
        // The status file by the library's writer and by pugixml's save.
        if (walk.Status().Bytes(dictionary) != ReferenceStatusBytes(walk.Status(), dictionary)) {
            fuzz::Fail("status file differs");
        }
    }
}

std::string Reference(const pugi::xml_document& document, const std::string& output, bool toDevice, bool option,
                      bool defaultNamespace) {
    CReferenceOutput reference;
    Walk(document, reference, toDevice, option, defaultNamespace);
    reference.Save(output.c_str());
    return ReadFile(output);
}

// The library's output with a pending part of a few elements, so that small
// inputs write early and give elements late children.
std::string Streamed(const pugi::xml_document& document, const std::string& output, bool toDevice, bool option,
                     bool defaultNamespace, std::size_t writeAfter, std::uint64_t recent) {
    {
        CStreamedOutput streamed(output.c_str(), nullptr, writeAfter, recent);
        Walk(document, streamed, toDevice, option, defaultNamespace);
        streamed.Finish();
        streamed.Keep();
    }
    return ReadFile(output);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A time of conversion differs from call to call.
    if (std::search(data, data + size, kTimeField, kTimeField + sizeof kTimeField - 1) != data + size) return 0;
    const std::string& folder = fuzz::ScratchFolder();
    const std::string input = fuzz::WriteScratchFile("in.xml", data, size);
    const bool option = (size & 1) != 0;
    const bool defaultNamespace = (size & 2) != 0;
    pugi::xml_document document;
    LoadInput(document, input.c_str(), pugi::encoding_auto);
    for (bool toDevice : {true, false}) {
        const std::string whole = Reference(document, folder + "/whole.xml", toDevice, option, defaultNamespace);
        // As the library writes it, and with a small pending part.
        CSession session;
        SetWorkingDirectory(session, folder.c_str());
        session.defaultNamespace = defaultNamespace;
        const std::string library = folder + "/library.xml";
        // Every other input parsed from its bytes in memory, as the exports do.
        CInputBytes bytes;
        platform::Refusal refusal;
        if ((size & 4) != 0 && !bytes.Load(input.c_str(), refusal)) fuzz::Fail("the input cannot be read whole");
        if (toDevice) {
            CXmlTlvConverter(session).ConvertCustToZK8(input.c_str(), library.c_str(), &bytes);
        } else {
            CXmlTlvConverter(session).ConvertZK8ToCust(input.c_str(), library.c_str(), option, pugi::encoding_auto,
                                                       &bytes);
        }
        if (ReadFile(library) != whole ||
            Streamed(document, folder + "/streamed.xml", toDevice, option, defaultNamespace, 1 + size % 7, size % 3) !=
                whole) {
            fuzz::Fail(toDevice ? "streamed device output differs" : "streamed customer output differs");
        }
    }
    return 0;
}
