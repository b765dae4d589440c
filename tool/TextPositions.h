// Line and column of a parser offset. The XML parser works on the input
// converted to UTF-8 (a byte-order mark included); offsets count its bytes.
// Offsets asked for in ascending order cost one pass over the text in all.
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
    TextPosition At(std::ptrdiff_t offset);

private:
    std::string m_text;
    std::size_t m_start = 0;   // after the byte-order mark, which takes no column
    std::size_t m_cursor = 0;  // the position of the offset asked for last
    TextPosition m_position{1, 1};
};
