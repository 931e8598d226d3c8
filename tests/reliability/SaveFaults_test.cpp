#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "memo/MemoListFile.h"

// What the memo-list save does when the system fails it at each step. The system calls are
// replaced through memolist_detail::setFileCalls; permissions are checked from a child that
// has given up root, since root may write anywhere.

namespace {

class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/vocalith-faults-XXXXXX";
        m_path = mkdtemp(pattern) ? pattern : "";
        chmod(m_path.c_str(), 0755); // an unprivileged child must get in
    }
    ~Scratch() { removeTree(m_path); }
    std::string file(const std::string& name, const std::string& bytes) const {
        const std::string p = m_path + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::vector<std::string> names(const std::string& folder = "") const {
        std::vector<std::string> all;
        if (DIR* d = opendir((m_path + folder).c_str())) {
            while (const dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    all.push_back(e->d_name);
            closedir(d);
        }
        std::sort(all.begin(), all.end());
        return all;
    }
    const std::string& path() const { return m_path; }

private:
    static void removeTree(const std::string& p) {
        if (DIR* d = opendir(p.c_str())) {
            while (const dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    removeTree(p + "/" + e->d_name);
            closedir(d);
            chmod(p.c_str(), 0700);
            rmdir(p.c_str());
        } else {
            unlink(p.c_str());
        }
    }
    std::string m_path;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A memo list's worth of bytes whose every prefix differs from the whole.
std::string listBytes(size_t size, char fill) {
    std::string s = "Ver. 2.51\r\n";
    s.resize(size, fill);
    s.back() = '\n';
    return s;
}

// Fault scripts for the replaced calls; plain globals because the seam takes plain functions.
int g_writes = 0;
ssize_t halfThenFull(int fd, const void* data, size_t count) {
    if (g_writes++ == 0)
        return ::write(fd, data, count / 2); // the disk fills half-way
    errno = ENOSPC;
    return -1;
}
ssize_t writesNothing(int, const void*, size_t) {
    return 0;
}
int failingFsync(int) {
    errno = EIO;
    return -1;
}
int failingClose(int fd) {
    ::close(fd); // the descriptor is gone either way, as on Linux
    errno = EIO;
    return -1;
}
int fullAtRename(const char*, const char*) {
    errno = ENOSPC;
    return -1;
}

class FileCallsScope {
public:
    explicit FileCallsScope(const memolist_detail::FileCalls& calls) {
        memolist_detail::setFileCalls(&calls);
    }
    ~FileCallsScope() { memolist_detail::setFileCalls(nullptr); }
};

// Runs body as user nobody in a child (when this process is root) and returns its result.
resultMemoSave asUnprivileged(const std::function<resultMemoSave()>& body) {
    if (geteuid() != 0)
        return body();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        _exit(int(body()));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? resultMemoSave(WEXITSTATUS(status)) : resultMemoSave(99);
}

} // namespace

TEST(SaveFaults, EveryFailingCallKeepsTheOldListAndLeavesNoTemporaryFile) {
    Scratch dir;
    const std::string old = listBytes(5000, 'o');
    const std::string edited = listBytes(7000, 'n');
    const std::string path = dir.file("talk.vlh", old);

    struct Case {
        const char* what;
        memolist_detail::FileCalls calls;
    };
    const Case cases[] = {
        {"disk full half-way", {halfThenFull, nullptr, nullptr, nullptr}},
        {"write takes nothing", {writesNothing, nullptr, nullptr, nullptr}},
        {"fsync fails", {nullptr, failingFsync, nullptr, nullptr}},
        {"close fails", {nullptr, nullptr, failingClose, nullptr}},
    };
    for (const Case& c : cases) {
        g_writes = 0;
        std::string temporary = "unset";
        {
            FileCallsScope scope(c.calls);
            EXPECT_EQ(replaceFileContents(path, edited, temporary), memoSaveFailed) << c.what;
        }
        EXPECT_EQ(temporary, "") << c.what;
        EXPECT_TRUE(readAll(path) == old) << c.what;
        EXPECT_EQ(dir.names(), std::vector<std::string>{"talk.vlh"}) << c.what;
    }

    // A full disk at the rename: the old list stays, the new one is whole beside it.
    std::string temporary;
    {
        FileCallsScope scope({nullptr, nullptr, nullptr, fullAtRename});
        EXPECT_EQ(replaceFileContents(path, edited, temporary), memoSaveKeptTemporary);
    }
    EXPECT_TRUE(readAll(path) == old);
    ASSERT_EQ(temporary.rfind(path + ".tmp.", 0), 0u) << temporary;
    EXPECT_TRUE(readAll(temporary) == edited);
    EXPECT_EQ(dir.names().size(), 2u);
    unlink(temporary.c_str());

    // And with the calls back, the same save goes through.
    EXPECT_EQ(replaceFileContents(path, edited, temporary), memoSaveOk);
    EXPECT_EQ(temporary, "");
    EXPECT_TRUE(readAll(path) == edited);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"talk.vlh"});
}

TEST(SaveFaults, ReadOnlyListAndUnwritableFolderAreLeftAsTheyAre) {
    Scratch dir;
    const std::string old = listBytes(300, 'o');

    // A read-only list in a folder anybody may write to: only the list's own bits protect it.
    mkdir((dir.path() + "/open").c_str(), 0777);
    chmod((dir.path() + "/open").c_str(), 0777);
    const std::string locked = dir.file("open/talk.vlh", old);
    chmod(locked.c_str(), 0444);
    EXPECT_EQ(asUnprivileged([&] {
                  std::string temporary;
                  return replaceFileContents(locked, "new", temporary);
              }),
              memoSaveFailed);
    EXPECT_EQ(readAll(locked), old);
    EXPECT_EQ(dir.names("/open"), std::vector<std::string>{"talk.vlh"});

    // A writable list in a folder nobody may write to: no temporary file, so no save.
    mkdir((dir.path() + "/shut").c_str(), 0755);
    const std::string inShut = dir.file("shut/talk.vlh", old);
    chmod(inShut.c_str(), 0666);
    chmod((dir.path() + "/shut").c_str(), 0555);
    EXPECT_EQ(asUnprivileged([&] {
                  std::string temporary;
                  return replaceFileContents(inShut, "new", temporary);
              }),
              memoSaveFailed);
    EXPECT_EQ(readAll(inShut), old);
    EXPECT_EQ(dir.names("/shut"), std::vector<std::string>{"talk.vlh"});
}

// A child saves two lists in turn, over and over; it is killed at a random moment 200 times.
// Whatever the moment, the list is one of the two whole versions. A kill in mid-write leaves
// a temporary file, never a cut list.
TEST(SaveFaults, KilledAtRandomMomentsTheListIsAlwaysOneWholeVersion) {
    Scratch dir;
    const std::string first = listBytes(96 * 1024, 'a');
    const std::string second = listBytes(64 * 1024, 'b');
    const std::string path = dir.file("talk.vlh", first);

    // How long one save takes here decides the range of the random moments.
    std::string temporary;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(replaceFileContents(path, i % 2 ? first : second, temporary), memoSaveOk);
    const long saveUs = std::max<long>(200, std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - t0)
                                                    .count() /
                                                10);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<long> moment(0, 4 * saveUs);
    int asFirst = 0, asSecond = 0, leftovers = 0;
    for (int round = 0; round < 200; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            const char go = 1;
            if (write(ready[1], &go, 1) != 1)
                _exit(1);
            std::string name;
            for (long i = 0;; ++i)
                replaceFileContents(path, i % 2 ? first : second, name);
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        usleep(useconds_t(moment(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string now = readAll(path);
        if (now == first)
            ++asFirst;
        else if (now == second)
            ++asSecond;
        else
            FAIL() << "round " << round << ": the list has " << now.size() << " bytes";
        for (const std::string& name : dir.names())
            if (name != "talk.vlh") {
                ++leftovers;
                unlink((dir.path() + "/" + name).c_str());
            }
    }
    EXPECT_EQ(asFirst + asSecond, 200);
    // Both versions and some mid-write kills show that the moments really spread over saves.
    EXPECT_GT(asFirst, 0);
    EXPECT_GT(asSecond, 0);
    EXPECT_GT(leftovers, 0);
    std::printf("[ stats    ] one save %ld us; old/new %d/%d; killed mid-write %d of 200\n", saveUs,
                asFirst, asSecond, leftovers);
}
