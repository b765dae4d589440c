// Line and column of a parser offset. The XML parser works on the input
// converted to UTF-8 (a byte-order mark included); offsets count its bytes.
#pragma once

#include <cstddef>
#include <string>

struct TextPosition {
    std::size_t line;
    std::size_t column;
};

class TextPositions {
public:
    // Reads the file and converts UTF-16 input (with a mark, or recognisable
    // by its zero bytes) to UTF-8 the way the parser does.
    explicit TextPositions(const std::string& path);
    TextPosition At(std::ptrdiff_t offset) const;

private:
    std::string m_text;
};
