#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "cli/CliRun.h"
#include "engine/memo/MemoFileGuard.h"

// What the memo-list save does when the system fails it at each step. The system calls are
// replaced through memolist_detail::setFileCalls; permissions are checked from a child that
// has given up root, since root may write anywhere.

namespace {

// How many entries the folder holds.
long entries(const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
}

// Fault scripts for the replaced calls; the seam takes plain functions, hence the global.
int g_writes = 0;
ssize_t halfThenFull(int fd, const void* data, size_t count) {
    if (g_writes++ == 0)
        return ::write(fd, data, count / 2); // the disk fills half-way
    errno = ENOSPC;
    return -1;
}
int failWith(int error) {
    errno = error;
    return -1;
}

// Saves over the list as user nobody, from a child when this process is root.
resultMemoSave saveAsNobody(const std::string& list) {
    std::string temporary;
    if (geteuid() != 0)
        return replaceFileContents(list, "new", temporary);
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) != 0 || setuid(65534) != 0
                  ? 100
                  : int(replaceFileContents(list, "new", temporary)));
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? resultMemoSave(WEXITSTATUS(status)) : resultMemoSave(99);
}

} // namespace

TEST(SaveFaults, EveryFailingCallKeepsTheOldListAndLeavesNoTemporaryFile) {
    ScratchDir dir;
    const std::string old(5000, 'o'), edited(7000, 'n');
    const std::string path = dir.file("talk.vlh", old);
    const struct {
        const char* what;
        memolist_detail::FileCalls calls;
        resultMemoSave result;
    } cases[] = {
        {"disk full half-way", {halfThenFull}, memoSaveFailed},
        {"fsync fails", {nullptr, [](int) { return failWith(EIO); }}, memoSaveFailed},
        // The descriptor is gone either way, as on Linux.
        {"close fails",
         {nullptr, nullptr, [](int fd) { return ::close(fd), failWith(EIO); }},
         memoSaveFailed},
        // A full disk at the rename: the old list stays, the new one is whole beside it.
        {"disk full at the rename",
         {nullptr, nullptr, nullptr, [](const char*, const char*) { return failWith(ENOSPC); }},
         memoSaveKeptTemporary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_writes = 0;
        std::string temporary = "unset";
        memolist_detail::setFileCalls(&c.calls);
        EXPECT_EQ(replaceFileContents(path, edited, temporary), c.result);
        memolist_detail::setFileCalls(nullptr);
        EXPECT_TRUE(slurp(path) == old);
        if (c.result == memoSaveKeptTemporary)
            EXPECT_TRUE(temporary.rfind(path + ".tmp.", 0) == 0 && slurp(temporary) == edited &&
                        unlink(temporary.c_str()) == 0)
                << temporary;
        else
            EXPECT_EQ(temporary, "");
        // Only the list is left in the folder.
        EXPECT_EQ(entries(dir.path()), 1);
    }
}

TEST(SaveFaults, ReadOnlyListAndUnwritableFolderAreLeftAsTheyAre) {
    ScratchDir dir;
    chmod(dir.path().c_str(), 0755); // for the unprivileged child
    const std::string old(300, 'o');
    const struct {
        const char* folder;
        mode_t folderMode, listMode;
    } cases[] = {{"open", 0777, 0444}, {"shut", 0555, 0666}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string list = dir.file(std::string(c.folder) + "/talk.vlh", old);
        const std::string folder = dir.path() + "/" + c.folder;
        chmod(list.c_str(), c.listMode);
        chmod(folder.c_str(), c.folderMode);
        EXPECT_EQ(saveAsNobody(list), memoSaveFailed);
        EXPECT_TRUE(slurp(list) == old && entries(folder) == 1);
        chmod(folder.c_str(), 0755); // so that the scratch folder can go without root
    }
}

// Every output goes through the same writer: a regular file is replaced whole and the stale
// temporaries of its own pattern go with the next success; links are written through; devices
// and pipes are written in place (these tests run as root, where a rename over /dev/null
// would succeed).
TEST(SaveFaults, OutputsReplaceFilesAndWriteThroughLinksDevicesAndPipes) {
    ScratchDir dir;
    const std::string x = dir.file("x", "old");
    chmod(x.c_str(), 0640);
    for (const char* other : {"x.tmp.ABCDEF", "x.tmp.keep", "x.tmp.ABCDEFG", "y.tmp.ABCDEF"})
        dir.file(other, "stale");
    symlink("y.tmp.ABCDEF", (x + ".tmp.LINKED").c_str());
    std::string temporary;
    EXPECT_EQ(writeOutputFile(x, "new", temporary), COutputFile::outputOk);
    struct stat st;
    EXPECT_TRUE(slurp(x) == "new" && stat(x.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
    EXPECT_EQ(entries(dir.path()), 5) << "only x.tmp.ABCDEF goes";
    EXPECT_NE(access((x + ".tmp.ABCDEF").c_str(), F_OK), 0);
    EXPECT_EQ(slurp(dir.path() + "/y.tmp.ABCDEF"), "stale");

    // a -> sub/../b (relative, through a folder) -> x
    mkdir((dir.path() + "/sub").c_str(), 0755);
    symlink("x", (dir.path() + "/b").c_str());
    symlink("sub/../b", (dir.path() + "/a").c_str());
    EXPECT_EQ(resolveOutput(dir.path() + "/a").path, dir.path() + "/sub/../x");
    EXPECT_EQ(writeOutputFile(dir.path() + "/a", "linked", temporary), COutputFile::outputOk);
    EXPECT_TRUE(lstat((dir.path() + "/a").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(slurp(x), "linked");
    symlink("loop", (dir.path() + "/loop").c_str());
    EXPECT_EQ(writeOutputFile(dir.path() + "/loop", "x", temporary), COutputFile::outputFailed);
    EXPECT_EQ(writeOutputFile(dir.path() + "/sub", "x", temporary), COutputFile::outputFailed);

    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = slurp(fifo); });
    EXPECT_EQ(writeOutputFile(fifo, std::string(100000, 'p'), temporary), COutputFile::outputOk);
    reader.join();
    EXPECT_TRUE(received == std::string(100000, 'p') && lstat(fifo.c_str(), &st) == 0 &&
                S_ISFIFO(st.st_mode));
    // A reader that goes away fails the write; the program lives on.
    std::thread quitter([&] { std::fclose(std::fopen(fifo.c_str(), "rb")); });
    EXPECT_EQ(writeOutputFile(fifo, std::string(1 << 20, 'p'), temporary),
              COutputFile::outputFailed);
    quitter.join();
    EXPECT_EQ(writeOutputFile("/dev/null", "gone", temporary), COutputFile::outputOk);
    EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
}

// Only other bytes make the list "changed on disk": a new time on the same bytes does not, one
// byte changed at the same size and time does.
TEST(SaveFaults, FingerprintSeesBytesNotTimes) {
    ScratchDir dir;
    const std::string path = dir.file("talk.vlh", "Ver. 2.51\r\n0\r\n");
    auto setTime = [&](time_t sec, long nsec) {
        const timespec t[2] = {{sec, nsec}, {sec, nsec}};
        return utimensat(AT_FDCWD, path.c_str(), t, 0) == 0;
    };
    ASSERT_TRUE(setTime(1000000000, 0));
    const FileFingerprint read = fingerprintFile(path);
    ASSERT_TRUE(setTime(1700000000, 5));
    const FileFingerprint touched = fingerprintFile(path);
    EXPECT_TRUE(touched.mtimeSec == 1700000000 && touched == read);
    dir.file("talk.vlh", "Ver. 2.51\r\n1\r\n");
    ASSERT_TRUE(setTime(1000000000, 0));
    const FileFingerprint edited = fingerprintFile(path);
    EXPECT_TRUE(edited.exists && edited.size == read.size && edited.mtimeSec == read.mtimeSec &&
                edited.mtimeNsec == read.mtimeNsec && edited != read);
}
