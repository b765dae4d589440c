// Line and column of a parser offset. The XML parser works on the input
// converted to UTF-8 (a byte-order mark included); offsets count its bytes.
// Offsets asked for in ascending order cost one pass over the text in all.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

    // The text as the parser reads it (UTF-8).
    const std::string& Text() const { return m_text; }
    // Where the parser dropped a surrogate of a UTF-16 input that had no
    // partner: offsets in Text().
    const std::vector<std::size_t>& DroppedSurrogates() const { return m_droppedSurrogates; }

private:
    std::string m_text;
    std::vector<std::size_t> m_droppedSurrogates;
    std::size_t m_start = 0;   // after the byte-order mark, which takes no column
    std::size_t m_cursor = 0;  // the position of the offset asked for last
    TextPosition m_position{1, 1};
};
