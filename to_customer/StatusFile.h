// The status file written next to a customer output: the distinct error
// numbers (and their texts) of the device file's exception blocks.
#pragma once

#include <string>

#include "dictionary/Dictionary.h"
#include "output/OutputFile.h"
#include "to_customer/ErrorTable.h"

class CStatusFile {
public:
    static constexpr int kCapacity = static_cast<int>(std::tuple_size<CErrorTable>::value);

    // Collects into `table`, from its first entry on.
    explicit CStatusFile(CErrorTable& table) : m_entries(table) {}

    // An exception block was met: the file lists its numbers.
    void BlockSeen() { m_blockSeen = true; }
    // Takes a node of an exception block. False when an error number finds
    // no room in the list.
    bool Collect(const char* tag, const char* text);
    // Whether the block being read still collects (until a number has its text).
    bool Collecting() const { return m_collecting; }
    void Collecting(bool collecting) { m_collecting = collecting; }

    // What the file lists: whether a block was seen, and the entries up to
    // LastIndex (-1: none).
    bool BlockSeen() const { return m_blockSeen; }
    int LastIndex() const { return m_last; }
    const ErrorEntry& Entry(int index) const { return m_entries[static_cast<std::size_t>(index)]; }

    // The file's bytes, made before anything is written, so that a run
    // without the memory for them writes neither file.
    std::string Bytes(const CDictionary& dictionary) const;
    // "<outputPath>_Status.xml": the whole path and the suffix, however long.
    static std::string PathOf(const std::string& outputPath);
    // Writes PathOf(outputPath); a failure is noted in `unwritten`.
    static void Write(const char* outputPath, const std::string& bytes, UnwrittenFiles* unwritten);

private:
    CErrorTable& m_entries;
    int m_last = -1;
    bool m_numberPending = false;
    bool m_collecting = false;
    bool m_blockSeen = false;
};
