// Device XML to customer XML on arbitrary input bytes, converted twice. The
// status file escapes its texts, so it must read back as XML with its root.
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string status = fuzz::ConvertTwice(fuzz::Direction::ToCustomer, data, size);
    pugi::xml_document document;
    if (status.compare(0, 2, "\xFF\xFE") != 0 ||
        !document.load_buffer(status.data(), status.size(), pugi::parse_default, pugi::encoding_utf16_le) ||
        !document.child("status")) {
        fuzz::Fail("status file is not well-formed");
    }
    return 0;
}
