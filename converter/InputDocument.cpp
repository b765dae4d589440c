#include "converter/InputDocument.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "converter/AllocationWatch.h"
#include "encoding/InputBytes.h"

namespace {

// Enough for any XML declaration pugixml reads an encoding from.
constexpr std::size_t kEncodingProbeSize = 64 * 1024;

}  // namespace

void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding, CInputBytes* bytes) {
    const unsigned options = pugi::parse_ws_pcdata_single;
    pugi::xml_parse_result parsed;
    if (bytes != nullptr && bytes->Held()) {
        // As load_file does: the encoding is found from the bytes, and UTF-8
        // is parsed with a zero after the last byte (the block has room for
        // it), so that the parser's own terminator does not take the place
        // of the last character. pugixml tells the encoding from the start
        // of the file: a parse of its first bytes shows which it takes.
        const std::size_t size = bytes->Size();
        pugi::xml_encoding found = encoding;
        if (found == pugi::encoding_auto) {
            pugi::xml_document probe;
            found = probe.load_buffer(bytes->Data(), std::min(size, kEncodingProbeSize), pugi::parse_minimal, encoding)
                        .encoding;
        }
        char* data = bytes->Release();
        const bool terminated = found == pugi::encoding_utf8;
        if (terminated) data[size] = 0;
        parsed = input.load_buffer_inplace_own(data, terminated ? size + 1 : size, options, found);
    } else {
        errno = 0;
        parsed = input.load_file(path, options, encoding);
    }
    // Whatever a malformed input leaves is converted; an input that did not
    // fit in memory is not, nor one whose file could not be opened for want
    // of memory.
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
    if ((parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error) && errno == ENOMEM) {
        throw std::bad_alloc();
    }
    CAllocationWatch::ThrowIfFailed();
}
