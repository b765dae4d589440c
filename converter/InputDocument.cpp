#include "converter/InputDocument.h"

#include <new>

#include "converter/AllocationWatch.h"

void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding) {
    const pugi::xml_parse_result parsed = input.load_file(path, pugi::parse_ws_pcdata_single, encoding);
    // Whatever a malformed input leaves is converted; an input that did not
    // fit in memory is not.
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
    CAllocationWatch::ThrowIfFailed();
}
