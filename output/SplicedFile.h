// The file of a conversion output. It is opened at the first write (a small
// output is written in one go), and bytes can be inserted behind what is
// written (Finish with splices). The file only ever grows forward, as a save
// from start to end would write it: what follows the first insertion point
// is read back, the file is cut there, and the rest is written on,
// insertions and what was read back in turn. A write that fails (a full
// disk) thus leaves a beginning of the right bytes, never bytes out of
// place. A file that cannot be read back (a pipe, a device, a file that may
// only be written) gets its bytes held in memory until Finish. An output
// that is not kept (Keep, once the call has written all its files) removes
// the file it opened: a call that fails never leaves a part that could pass
// for a whole output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/ByteSink.h"
#include "output/OutputFile.h"

// Bytes to put at an offset of what was written, in place of `removed` bytes.
struct Splice {
    std::uint64_t offset;
    std::size_t removed;
    std::string bytes;
};

class CSplicedFile final : public CByteSink {
public:
    // A file not written in full is noted in `unwritten`.
    CSplicedFile(const char* path, UnwrittenFiles* unwritten) : m_path(path), m_unwritten(unwritten) {}
    ~CSplicedFile() override;
    CSplicedFile(const CSplicedFile&) = delete;
    CSplicedFile& operator=(const CSplicedFile&) = delete;

    void Write(const void* bytes, std::size_t size) override;
    // Puts the insertions (ascending offsets) in place, behind the `written`
    // bytes. The file stays open, and held, until Keep: a call that fails
    // after this still removes it.
    void Finish(const std::vector<Splice>& splices, std::uint64_t written);
    // The call wrote all its files: the file is closed, and stays.
    void Keep();

private:
    void WriteForward(const std::vector<Splice>& splices, std::uint64_t written);

    const char* m_path;
    UnwrittenFiles* m_unwritten;
    std::unique_ptr<COutputFile> m_file;
    // Everything written, for a file that cannot be read back.
    std::string m_held;
    bool m_holding = false;
    bool m_kept = false;
};
