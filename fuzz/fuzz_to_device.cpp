// Customer XML to device XML on arbitrary input bytes, converted twice. A
// time of conversion in the output would differ from run to run.
#include <algorithm>
#include <cstring>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char kTimeField[] = "date_time_value";
    const bool timed = std::search(data, data + size, kTimeField, kTimeField + std::strlen(kTimeField)) != data + size;
    fuzz::ConvertTwice(fuzz::Direction::ToDevice, data, size, !timed);
    return 0;
}
