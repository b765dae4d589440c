// Inputs that grow in one dimension only, for the scaling benchmark: each is
// a small file but for the one thing that is made large.
#pragma once

#include <cstddef>
#include <string>

#include "bench/InputGenerator.h"

namespace bench {

enum class Dimension {
    Size,             // the generated realistic file (records of every kind)
    Records,          // one kind of record, repeated
    Depth,            // one record holding fields nested that deep, a field after each
    NameLength,       // one unknown element with a name that long
    TextLength,       // one field with a text that long (ASCII and umlauts)
    AttributeLength,  // one record with a mode value that long
    Attributes,       // one record with that many attributes
};

const char* DimensionName(Dimension dimension);
constexpr Dimension kDimensions[] = {Dimension::Size,       Dimension::Records,         Dimension::Depth,
                                     Dimension::NameLength, Dimension::TextLength, Dimension::AttributeLength,
                                     Dimension::Attributes};

// The file as UTF-8 text, about targetBytes long.
std::string ScalingInput(Dialect dialect, Dimension dimension, std::size_t targetBytes);

}  // namespace bench
