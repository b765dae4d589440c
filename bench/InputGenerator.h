// Realistic conversion inputs of any size, for the benchmarks: customer files
// and device files built from the names of the tag table, deterministic for a
// given seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

enum class Dialect { Customer, Device };

// What the records of a file look like.
enum class Shape {
    // Lists of records of several kinds and modes, nested fields, an
    // occasional unknown element; exceptions and file transfers at the end.
    Mixed,
    // Records of two kinds taking turns, so that every record starts a new
    // list element in the customer output.
    Alternating,
    // Every record holds a chain of nested containers followed by a field of
    // the record, so that the parent alignment unwinds the chain each time.
    Deep,
    // Every record holds unknown elements, some of them wrapping known
    // fields (parent alignment runs out of open elements: run-log entry 31000).
    Unknown,
    // Every record holds a chain of nested containers that is never left:
    // the stack of open output elements only grows.
    OpenStack,
};

struct InputRecipe {
    Dialect dialect = Dialect::Customer;
    Shape shape = Shape::Mixed;
    bool utf16 = false;            // UTF-16 little-endian with byte-order mark
    std::size_t targetBytes = 0;   // approximate size of the UTF-8 text
    std::uint32_t seed = 1;
};

// The file as UTF-8 text (declaration naming UTF-8), at least targetBytes
// long apart from the closing tail.
std::string GenerateUtf8(const InputRecipe& recipe);

// The bytes to write for the recipe: the UTF-8 text, or its UTF-16 LE form with
// byte-order mark and a declaration naming UTF-16.
std::string GenerateFileBytes(const InputRecipe& recipe);

// Writes GenerateFileBytes(recipe) to path; false when the file cannot be written.
bool WriteInputFile(const InputRecipe& recipe, const std::string& path);

// UTF-8 to UTF-16 LE (with byte-order mark), for the generator's own,
// well-formed text (no characters beyond the basic plane).
std::string ToUtf16Le(const std::string& utf8);

const char* ShapeName(Shape shape);
bool ParseShape(const std::string& name, Shape& shape);

// A single-record file: one article in customer XML, or one device record.
std::string SingleRecordFile(Dialect dialect);

}  // namespace bench
