// The tool's temporary files and folders, made so that a run that is killed
// leaves none of them behind for good.
//
// - A file is unnamed where the file system allows it (Linux, O_TMPFILE): it
//   has no name until it is linked in, and vanishes with the process. The
//   library opens it as /proc/self/fd/N.
// - Names are given only where nothing else works: a file system without
//   O_TMPFILE, the instant between linking a finished file in and renaming
//   it over its target, and the folders the library needs names in (the
//   status file's, Temp.xml's). They read "zk8conv.HOST.PID.N" (with a
//   leading dot beside a target), fixed in length whatever the target's
//   name. Before the first name in a folder, what programs of this machine
//   that no longer run left there is removed.
#pragma once

#include <string>

// $TMPDIR, or /tmp.
std::string TemporaryFolder();

// Removes what runs of this machine that no longer run left in `folder`;
// each folder once per process (a forked worker skips its parent's).
void RemoveStale(const std::string& folder);

class ScratchFile {
public:
    // A file in `folder` ("" is the current one); a name it needs starts
    // with a dot when `hidden`.
    ScratchFile(const std::string& folder, bool hidden);
    // Closes the file; a name it still has is removed.
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Empty, or why the file could not be made (the system's reason).
    const std::string& Failure() const { return m_failure; }
    // What to open it by: /proc/self/fd/N, or its name.
    const std::string& Path() const { return m_path; }
    // Open for reading and writing, at offset 0 until used.
    int Descriptor() const { return m_descriptor; }

    // Puts the file in place of `target`, a path in the same folder whose
    // symbolic links are followed: with the owner and mode of the file it
    // replaces, or for a new file the mode a new file gets (0666 less the
    // umask). "" or one line saying why, naming the target as `shown`; the
    // target is then untouched.
    std::string Replace(const std::string& target, const std::string& shown);

private:
    std::string m_folder;
    bool m_hidden;
    int m_descriptor = -1;
    std::string m_path;
    std::string m_name;  // the name the file has now, if any
    std::string m_failure;
};

// A folder of its own in TemporaryFolder(), removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty, or why the folder could not be made (the system's reason).
    const std::string& Failure() const { return m_failure; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_failure;
};
