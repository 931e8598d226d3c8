#include "engine/memo/MemoFileGuard.h"

#include "engine/sound/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Tried names are bounded so that a folder full of backups cannot keep the save looping.
const int kMostNames = 10000;

} // namespace

FileFingerprint fingerprintFile(const std::string& path, std::string* bytes) {
    FileFingerprint print;
    if (bytes)
        bytes->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return print;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return print;
    }
    uint64_t hash = 14695981039346656037ull;
    uint64_t size = 0;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return print;
        }
        if (n == 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            hash = (hash ^ uint8_t(buf[i])) * 1099511628211ull;
        if (bytes)
            bytes->append(buf, size_t(n));
        size += uint64_t(n);
    }
    close(fd);
    print.exists = true;
    print.size = size;
    print.mtimeSec = int64_t(st.st_mtim.tv_sec);
    print.mtimeNsec = int64_t(st.st_mtim.tv_nsec);
    print.hash = hash;
    return print;
}

std::string writeUnderFreeName(const std::function<std::string(int)>& nameFor,
                               const std::string& bytes) {
    for (int n = 1; n <= kMostNames; ++n) {
        const std::string name = nameFor(n);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::string();
        }
        bool ok = writeEveryByte(fd, bytes.data(), bytes.size());
        ok = fsync(fd) == 0 && ok;
        ok = close(fd) == 0 && ok;
        if (ok)
            return name;
        unlink(name.c_str());
        return std::string();
    }
    return std::string();
}

std::string memoBackupName(const std::string& path, int n) {
    return path + ".bak" + (n > 1 ? std::to_string(n) : std::string());
}

std::string memoBesideName(const std::string& path, int n) {
    const std::string suffix = "-" + std::to_string(n + 1);
    const std::string ext = ".vlh";
    if (path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
        return path.substr(0, path.size() - ext.size()) + suffix + ext;
    return path + suffix;
}
