#include "converter/InputDocument.h"

#include <algorithm>
#include <new>

#include "encoding/InputBytes.h"
#include "platform/File.h"

namespace {

// Enough for any XML declaration pugixml reads an encoding from.
constexpr std::size_t kEncodingProbeSize = 64 * 1024;

}  // namespace

void LoadInput(pugi::xml_document& input, const char* path, pugi::xml_encoding encoding, CInputBytes* bytes) {
    // Bytes that were not held (memory was short then) are read now; a file
    // that cannot be read leaves the document empty, one that does not fit
    // in memory is not converted.
    CInputBytes own;
    if (bytes == nullptr || !bytes->Held()) {
        platform::Refusal why = platform::Refusal::Missing;
        if (path == nullptr || !own.Load(path, why)) {
            if (own.NoMemory()) throw std::bad_alloc();
            return;
        }
        bytes = &own;
    }
    // As load_file does: the encoding is found from the bytes, and UTF-8 is
    // parsed with a zero after the last byte (the block has room for it), so
    // that the parser's own terminator does not take the place of the last
    // character. pugixml tells the encoding from the start of the file: a
    // parse of its first bytes shows which it takes.
    const unsigned options = pugi::parse_ws_pcdata_single;
    const std::size_t size = bytes->Size();
    pugi::xml_encoding found = encoding;
    if (found == pugi::encoding_auto) {
        pugi::xml_document probe;
        const pugi::xml_parse_result probed =
            probe.load_buffer(bytes->Data(), std::min(size, kEncodingProbeSize), pugi::parse_minimal, encoding);
        if (probed.status == pugi::status_out_of_memory) throw std::bad_alloc();
        found = probed.encoding;
    }
    char* data = bytes->Release();
    const bool terminated = found == pugi::encoding_utf8;
    if (terminated) data[size] = 0;
    const pugi::xml_parse_result parsed =
        input.load_buffer_inplace_own(data, terminated ? size + 1 : size, options, found);
    // Whatever a malformed input leaves is converted; an input that did not
    // fit in memory is not. pugixml tells a failed allocation by this status
    // alone.
    if (parsed.status == pugi::status_out_of_memory) throw std::bad_alloc();
}
