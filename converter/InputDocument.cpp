#include "converter/InputDocument.h"

#include <new>

#include "converter/AllocationWatch.h"
#include "encoding/InputBytes.h"

void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding, CInputBytes* bytes) {
    const unsigned options = pugi::parse_ws_pcdata_single;
    pugi::xml_parse_result parsed;
    if (bytes != nullptr && bytes->Held()) {
        const std::size_t size = bytes->Size();
        parsed = input.load_buffer_inplace_own(bytes->Release(), size, options, encoding);
    } else {
        parsed = input.load_file(path, options, encoding);
    }
    // Whatever a malformed input leaves is converted; an input that did not
    // fit in memory is not.
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
    CAllocationWatch::ThrowIfFailed();
}
