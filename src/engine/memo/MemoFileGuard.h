#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What keeps a memo-list save from destroying something nobody meant to lose: a fingerprint that
// tells whether another program changed the file since it was read, and files written only
// under names that are free (backups of a damaged list, a copy saved beside a changed one).

// The file at a path as it was seen: whether it existed, its size, its modification time and a
// 64-bit FNV-1a hash of its bytes. Two fingerprints are equal when existence, size and hash are:
// a touch or a backup tool moves the time without changing the list, and that is no reason to
// ask the user. The time is kept for information only.
struct FileFingerprint {
    bool exists = false;
    uint64_t size = 0;
    int64_t mtimeSec = 0;
    int64_t mtimeNsec = 0;
    uint64_t hash = 0;
    bool operator==(const FileFingerprint& o) const {
        return exists == o.exists && size == o.size && hash == o.hash;
    }
    bool operator!=(const FileFingerprint& o) const { return !(*this == o); }
};

// Takes the fingerprint of the file at `path`; its bytes go to `bytes` when that is not null.
// A path that does not exist (or is not a regular file that can be read) gives exists = false.
FileFingerprint fingerprintFile(const std::string& path, std::string* bytes = nullptr);

// Writes `bytes` into a new file named nameFor(1), or nameFor(2), ... the first of them that
// does not exist yet (it is created exclusively, so an existing file is never replaced, even one
// that appears meanwhile). The data is flushed to disk before the name is given back. Gives the
// name used, or an empty string when no file could be written (nothing is left behind then).
std::string writeUnderFreeName(const std::function<std::string(int)>& nameFor,
                               const std::string& bytes);

// "NAME.vlh.bak", "NAME.vlh.bak2", "NAME.vlh.bak3", ... for n = 1, 2, 3, ...
std::string memoBackupName(const std::string& path, int n);
// "NAME-2.vlh", "NAME-3.vlh", ... beside "NAME.vlh", for n = 1, 2, ... (a path without ".vlh" at
// its end gets "-2" and so on appended).
std::string memoBesideName(const std::string& path, int n);
