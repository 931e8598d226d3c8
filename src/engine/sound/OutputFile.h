#pragma once

#include <string>

#include <sys/types.h>

// Writing a file the user names without destroying what it names.
//
// A path is first followed through its symbolic links (chains and relative targets) to the
// file really meant. Then:
// - a regular file, or a name where nothing is yet, is replaced whole: the bytes go to a fresh
//   temporary file beside it (NAME + ".tmp." + six characters), which is synced, given the old
//   file's permission bits (else 0666 less the umask) and renamed over NAME; the folder is
//   synced last. Until the rename the old file is as it was, so a failure at any point loses
//   nothing. After a successful rename, temporaries of that same pattern for NAME that an
//   earlier, killed write left behind are removed.
// - a character device or a named pipe (a terminal, /dev/null, a pipe another program reads)
//   is opened and written in place: it is never renamed over or turned into a regular file.
// - anything else (a folder, a block device, a socket) is refused.
// A link keeps being a link: the file it points to gets the bytes.
//
// Not thread-safe against another writer of the same NAME; distinct names are independent.

struct OutputTarget {
    enum kindOutput {
        outputReplace = 0, // a regular file, or nothing yet: replaced through a temporary
        outputInPlace = 1, // a character device or a named pipe
        outputRefused = 2  // a folder, a block device, a socket, a link loop, an empty name
    };
    kindOutput kind = outputRefused;
    std::string path;    // the path after its links: where the bytes really go
    bool exists = false; // something is at `path` now
    dev_t device = 0;    // its identity when it exists
    ino_t inode = 0;
};

// Where `path` leads. Never writes anything.
OutputTarget resolveOutput(const std::string& path);

// One output written in pieces (large outputs need not be held in memory). Nothing is
// visible at the target until commit(); a COutputFile dropped without a commit removes its
// temporary file.
class COutputFile {
public:
    enum resultOutput {
        outputOk = 0,
        outputFailed = 1,       // the target is as it was; no temporary file is left
        outputKeptTemporary = 2 // the target is as it was; the bytes are whole in temporaryPath()
    };

    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Resolves `path` and opens the temporary file (or the device or pipe, which may wait for
    // a reader). False when the target is refused, is a file that may not be written, or the
    // temporary cannot be made. With keepBesideFolder, a folder in the target's place is no
    // refusal: the bytes are written beside it and commit() keeps them (outputKeptTemporary).
    bool open(const std::string& path, bool keepBesideFolder = false);
    // Every byte or false; after a false the file is no longer written and commit fails.
    bool write(const void* data, size_t count);
    // Syncs, closes and renames into place. After it, the object is closed whatever the result.
    resultOutput commit();
    // Drops what was written (a device or pipe keeps what it was already given).
    void discard();

    const OutputTarget& target() const { return m_target; }
    // The temporary's name while the output is open, or after outputKeptTemporary.
    const std::string& temporaryPath() const { return m_temporary.empty() ? m_kept : m_temporary; }

private:
    OutputTarget m_target;
    std::string m_temporary; // owned: removed unless renamed into place
    std::string m_kept;      // left to the caller by outputKeptTemporary
    int m_fd = -1;
    bool m_failed = false;
};

// Opens, writes and commits `bytes` in one go.
COutputFile::resultOutput writeOutputFile(const std::string& path, const std::string& bytes,
                                          std::string& temporaryPath,
                                          bool keepBesideFolder = false);

// Small pieces every writer of files shares.
// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string folderOfPath(const std::string& path);
// Every byte to fd, an interrupted write tried again; false when a write fails or takes nothing
// (a full disk may say so).
bool writeEveryByte(int fd, const void* data, size_t count);
// Syncs the folder holding `path`, so a rename into it is durable. Some file systems refuse;
// the file is in place by then, so there is nothing to report.
void syncFolderOf(const std::string& path);

namespace outputfile_detail {
// The system calls by which COutputFile writes and puts its file in place (a null member, or a
// null table, uses the system's own), so that tests can make each of them fail: a disk that
// fills, an I/O error reported only at fsync or close, a rename refused.
struct FileCalls {
    ssize_t (*write)(int fd, const void* data, size_t count) = nullptr;
    int (*fsync)(int fd) = nullptr;
    int (*close)(int fd) = nullptr;
    int (*rename)(const char* from, const char* to) = nullptr;
};
void setFileCalls(const FileCalls* calls);
} // namespace outputfile_detail
