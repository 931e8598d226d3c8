#include "engine/sound/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

namespace {

outputfile_detail::FileCalls g_fileCalls;

ssize_t callWrite(int fd, const void* data, size_t count) {
    return g_fileCalls.write ? g_fileCalls.write(fd, data, count) : ::write(fd, data, count);
}
int callFsync(int fd) {
    return g_fileCalls.fsync ? g_fileCalls.fsync(fd) : ::fsync(fd);
}
int callClose(int fd) {
    return g_fileCalls.close ? g_fileCalls.close(fd) : ::close(fd);
}
int callRename(const char* from, const char* to) {
    return g_fileCalls.rename ? g_fileCalls.rename(from, to) : std::rename(from, to);
}

const int kMaxLinks = 40; // as the kernel's own limit on a chain
const char* const kTemporaryMark = ".tmp.";
const size_t kTemporaryMarkLength = 5;
const size_t kTemporaryTail = 6;
const char kTailCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool readLink(const std::string& path, std::string& target) {
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0)
            return false;
        if (size_t(n) < buf.size()) {
            target.assign(buf.data(), size_t(n));
            return !target.empty();
        }
        if (buf.size() >= 65536)
            return false;
        buf.resize(buf.size() * 2);
    }
}

bool isTemporaryTail(const std::string& tail) {
    if (tail.size() != kTemporaryTail)
        return false;
    for (char c : tail)
        if (!std::strchr(kTailCharacters, c) || c == '\0')
            return false;
    return true;
}

// Temporaries for the same target that a killed write left. Only regular files of exactly our
// pattern go, never the name just used or anything reached through a link.
void removeStaleTemporaries(const std::string& target, const std::string& justUsed) {
    const std::string folder = folderOfPath(target);
    const std::string prefix = nameOf(target) + kTemporaryMark;
    const std::string used = nameOf(justUsed);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == used || name.compare(0, prefix.size(), prefix) != 0 ||
            !isTemporaryTail(name.substr(prefix.size())))
            continue;
        struct stat st;
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            (void)unlinkat(dirFd, name.c_str(), 0);
    }
    closedir(dir);
}

// A new file named path + ".tmp." + six characters, made with O_EXCL so that it is never
// someone else's; created 0666 so that the umask shapes it as any file the user saves.
int createTemporary(const std::string& path, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[kTemporaryTail];
        if (getrandom(random, sizeof random, GRND_NONBLOCK) != ssize_t(sizeof random)) {
            // Early boot without entropy: still unlikely to collide, and O_EXCL retries.
            const unsigned long mix = (unsigned long)(getpid()) * 2654435761u ^
                                      (unsigned long)(time(nullptr)) ^ (++counter * 40503u);
            for (size_t i = 0; i < sizeof random; ++i)
                random[i] = (unsigned char)(mix >> (5 * i));
        }
        name = path + kTemporaryMark;
        for (unsigned char r : random)
            name += kTailCharacters[r % (sizeof kTailCharacters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// While it lives, a pipe whose reader has gone fails a write with EPIPE instead of ending the
// whole program with SIGPIPE. The signal is blocked for this thread only, and one raised
// meanwhile is taken off before the old mask comes back; one already pending is left alone.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        m_wasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~PipeSignalBlock() {
        if (!m_wasPending) {
            const timespec none = {0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

private:
    sigset_t m_pipe, m_old;
    bool m_wasPending = false;
};


} // namespace

void outputfile_detail::setFileCalls(const FileCalls* calls) {
    g_fileCalls = calls ? *calls : FileCalls();
}

OutputTarget resolveOutput(const std::string& path) {
    OutputTarget t;
    if (path.empty())
        return t;
    std::string at = path;
    struct stat st;
    for (int links = 0;; ++links) {
        if (lstat(at.c_str(), &st) != 0) {
            // Nothing there yet (a dangling link's target included): made by the rename.
            if (errno == ENOENT) {
                t.kind = OutputTarget::outputReplace;
                t.path = at;
            }
            return t;
        }
        if (!S_ISLNK(st.st_mode))
            break;
        std::string target;
        if (links == kMaxLinks || !readLink(at, target))
            return t;
        // A relative target is read from the link's own folder.
        const size_t slash = at.rfind('/');
        at = target[0] == '/' || slash == std::string::npos ? target
                                                            : at.substr(0, slash + 1) + target;
    }
    t.path = at;
    t.exists = true;
    t.device = st.st_dev;
    t.inode = st.st_ino;
    if (S_ISREG(st.st_mode))
        t.kind = OutputTarget::outputReplace;
    else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        t.kind = OutputTarget::outputInPlace;
    return t;
}

COutputFile::~COutputFile() {
    discard();
}

bool COutputFile::open(const std::string& path, bool keepBesideFolder) {
    discard();
    m_target = resolveOutput(path);
    m_failed = false;
    m_kept.clear();
    const std::string& real = m_target.path;
    if (m_target.kind == OutputTarget::outputInPlace) {
        // No O_TRUNC or O_CREAT: a device or pipe is written as it is, never made anew.
        m_fd = ::open(real.c_str(), O_WRONLY | O_CLOEXEC);
        return m_fd >= 0;
    }
    struct stat st;
    const bool folder = m_target.exists && stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    // The temporary goes beside the folder and the rename fails on it (EISDIR), so the bytes
    // end up kept under a name the caller can report.
    if (m_target.kind != OutputTarget::outputReplace && !(folder && keepBesideFolder))
        return false;
    // A file the user made read-only stays as it is, as writing into it in place would; the
    // rename would not ask.
    if (m_target.exists && !folder && access(real.c_str(), W_OK) != 0)
        return false;
    m_fd = createTemporary(real, m_temporary);
    if (m_fd < 0) {
        m_temporary.clear();
        return false;
    }
    struct stat old;
    if (m_target.exists && !folder && stat(real.c_str(), &old) == 0) {
        // Root replacing someone's file hands it back to them; failures leave a file that is
        // ours, which loses nothing. The owner goes first since chown clears set-id bits.
        if (old.st_uid != geteuid() || old.st_gid != getegid())
            (void)fchown(m_fd, old.st_uid, old.st_gid);
        (void)fchmod(m_fd, old.st_mode & 07777);
    }
    return true;
}

bool COutputFile::write(const void* data, size_t count) {
    if (m_fd < 0 || m_failed)
        return false;
    std::optional<PipeSignalBlock> pipeSignal;
    if (m_target.kind == OutputTarget::outputInPlace)
        pipeSignal.emplace();
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = callWrite(m_fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        // A write that takes nothing (a full disk may say so) is a failure too.
        if (n <= 0) {
            m_failed = true;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

COutputFile::resultOutput COutputFile::commit() {
    if (m_fd < 0)
        return outputFailed;
    const int fd = m_fd;
    m_fd = -1;
    if (m_temporary.empty()) {
        // Devices and pipes cannot be synced; what they were given is theirs.
        const bool ok = callClose(fd) == 0 && !m_failed;
        return ok ? outputOk : outputFailed;
    }
    // Delayed write errors (a full disk on a network file system) surface only at fsync or
    // close, so both count.
    bool ok = !m_failed && callFsync(fd) == 0;
    ok = callClose(fd) == 0 && ok; // closed in any case; Linux frees the descriptor on failure
    if (!ok) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return outputFailed;
    }
    if (callRename(m_temporary.c_str(), m_target.path.c_str()) != 0) {
        m_kept.swap(m_temporary); // the caller's now: discard() must not remove it
        return outputKeptTemporary;
    }
    const std::string used = m_temporary;
    m_temporary.clear();
    syncFolderOf(m_target.path);
    removeStaleTemporaries(m_target.path, used);
    return outputOk;
}

void COutputFile::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

COutputFile::resultOutput writeOutputFile(const std::string& path, const std::string& bytes,
                                          std::string& temporaryPath, bool keepBesideFolder) {
    temporaryPath.clear();
    COutputFile file;
    if (!file.open(path, keepBesideFolder))
        return COutputFile::outputFailed;
    file.write(bytes.data(), bytes.size()); // a failure shows in commit
    const COutputFile::resultOutput result = file.commit();
    if (result == COutputFile::outputKeptTemporary)
        temporaryPath = file.temporaryPath();
    return result;
}

std::string folderOfPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

bool writeEveryByte(int fd, const void* data, size_t count) {
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        count -= size_t(n);
    }
    return true;
}

void syncFolderOf(const std::string& path) {
    const int dir = ::open(folderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)fsync(dir);
        ::close(dir);
    }
}
