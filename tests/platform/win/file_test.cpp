#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>

#include "home_fixture.h"
#include "win/file.h"

namespace {

class FileTest : public TempHomeTest {
 protected:
  std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(win::ReadWholeFile(path, bytes), ERROR_SUCCESS);
    return bytes;
  }
};

TEST(Win32ErrorTest, MapsErrno) {
  struct Pair {
    int err;
    DWORD win32;
  };
  for (Pair p : {Pair{0, ERROR_SUCCESS},
                 {ENOENT, ERROR_FILE_NOT_FOUND},
                 {ENOTDIR, ERROR_PATH_NOT_FOUND},
                 {EACCES, ERROR_ACCESS_DENIED},
                 {EPERM, ERROR_ACCESS_DENIED},
                 {EROFS, ERROR_ACCESS_DENIED},
                 {EISDIR, ERROR_ACCESS_DENIED},
                 {EEXIST, ERROR_ALREADY_EXISTS},
                 {ENOSPC, ERROR_DISK_FULL},
                 {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
                 {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
                 {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
                 {EBADF, ERROR_INVALID_HANDLE},
                 {EINVAL, ERROR_INVALID_PARAMETER}})
    EXPECT_EQ(win::Win32ErrorFromErrno(p.err), p.win32) << p.err;
  EXPECT_NE(win::Win32ErrorFromErrno(EPIPE), ERROR_SUCCESS);
}

TEST_F(FileTest, OpenReportsWin32Errors) {
  win::File f;
  EXPECT_EQ(f.Open(home + "/missing.txt", win::FileMode::Read), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(f.Open(home + "/no/such/folder.txt", win::FileMode::WriteCreate), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(f.Open(home, win::FileMode::Read), ERROR_ACCESS_DENIED);  // a folder
  EXPECT_EQ(f.Open(home + "/" + std::string(300, 'x'), win::FileMode::Read), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(f.IsOpen());
  DWORD n = 0;
  EXPECT_EQ(f.Read(nullptr, 0, &n), ERROR_INVALID_HANDLE);
}

TEST_F(FileTest, ReadWriteSeekTruncate) {
  const std::string path = home + "/data.bin";
  {
    win::File f;
    ASSERT_EQ(f.Open(path, win::FileMode::WriteCreate), ERROR_SUCCESS);
    DWORD written = 0;
    EXPECT_EQ(f.Write("hello world", 11, &written), ERROR_SUCCESS);
    EXPECT_EQ(written, 11u);
    EXPECT_EQ(f.Flush(), ERROR_SUCCESS);
  }  // closed by the destructor
  win::File f;
  ASSERT_EQ(f.Open(path, win::FileMode::ReadWrite), ERROR_SUCCESS);
  uint64_t size = 0, pos = 0;
  EXPECT_EQ(f.Size(size), ERROR_SUCCESS);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(f.Seek(-5, win::SeekFrom::End, &pos), ERROR_SUCCESS);
  EXPECT_EQ(pos, 6u);
  char buf[16] = {};
  DWORD got = 0;
  EXPECT_EQ(f.Read(buf, sizeof buf, &got), ERROR_SUCCESS);  // short read at the end
  EXPECT_EQ(got, 5u);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(f.Read(buf, sizeof buf, &got), ERROR_SUCCESS);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(f.Seek(-1, win::SeekFrom::Begin), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(f.Truncate(5), ERROR_SUCCESS);
  EXPECT_EQ(f.Size(size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(f.Close(), ERROR_SUCCESS);
  EXPECT_EQ(f.Close(), ERROR_SUCCESS);
  EXPECT_EQ(Bytes(path), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));

  win::File created;
  EXPECT_EQ(created.Open(home + "/new.bin", win::FileMode::ReadWrite), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(created.Open(home + "/new.bin", win::FileMode::ReadWriteCreate), ERROR_SUCCESS);
  EXPECT_TRUE(win::FileExists(home + "/new.bin"));
}

TEST_F(FileTest, AtomicWriteReplacesOrLeavesTheOldFile) {
  const std::string path = home + "/target.txt";
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("old")), ERROR_SUCCESS);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(win::WriteFileAtomic(path, std::string("newer")), ERROR_SUCCESS);
  EXPECT_EQ(Bytes(path), (std::vector<uint8_t>{'n', 'e', 'w', 'e', 'r'}));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replaced file keeps its permissions

  // A write that fails half-way (the file size limit) leaves the old file
  // and no temporary file behind.
  std::vector<uint8_t> big(100000, 'x');
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 1000;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  DWORD e = win::WriteFileAtomic(path, big);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_NE(e, ERROR_SUCCESS);
  EXPECT_EQ(Bytes(path), (std::vector<uint8_t>{'n', 'e', 'w', 'e', 'r'}));
  EXPECT_EQ(FolderEntries(home), std::vector<std::string>{"target.txt"});

  // Read-only targets and folders are refused before anything is written.
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(win::WriteFileAtomic(path, std::string("x")), ERROR_ACCESS_DENIED);
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(chmod(home.c_str(), 0555), 0);
  EXPECT_EQ(win::WriteFileAtomic(path, std::string("x")), ERROR_ACCESS_DENIED);
  ASSERT_EQ(chmod(home.c_str(), 0755), 0);
  EXPECT_EQ(win::WriteFileAtomic(home + "/none/x.txt", std::string("x")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(win::WriteFileAtomic(home, std::string("x")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FolderEntries(home), std::vector<std::string>{"target.txt"});

  // A symbolic link is followed, not replaced.
  ASSERT_EQ(symlink(path.c_str(), (home + "/link").c_str()), 0);
  EXPECT_EQ(win::WriteFileAtomic(home + "/link", std::string("via")), ERROR_SUCCESS);
  EXPECT_EQ(Bytes(path), (std::vector<uint8_t>{'v', 'i', 'a'}));
}

TEST_F(FileTest, Folders) {
  const std::string deep = home + "/a/b/c";
  EXPECT_FALSE(win::DirectoryExists(deep));
  EXPECT_EQ(win::CreateDirectories(deep), ERROR_SUCCESS);
  EXPECT_EQ(win::CreateDirectories(deep), ERROR_SUCCESS);
  EXPECT_TRUE(win::DirectoryExists(deep));
  EXPECT_FALSE(win::FileExists(deep));
  ASSERT_EQ(win::WriteFileAtomic(home + "/a/file", std::string()), ERROR_SUCCESS);
  EXPECT_TRUE(win::FileExists(home + "/a/file"));
  EXPECT_EQ(Bytes(home + "/a/file"), std::vector<uint8_t>());
  EXPECT_NE(win::CreateDirectories(home + "/a/file/sub"), ERROR_SUCCESS);
  EXPECT_EQ(win::ParentDirectory("/x/y.txt"), "/x");
  EXPECT_EQ(win::ParentDirectory("y.txt"), ".");
  EXPECT_EQ(win::ParentDirectory("/y"), "/");
}

// Files read whole: only regular files, never blocking on a FIFO, and never
// more than the reader's bound.
class RegularFileTest : public FileTest {
 protected:
  // Runs `read` on another thread and tells whether it ended by itself. A
  // reader blocked on the FIFO is released by opening its other end.
  template <class F>
  bool EndsWithoutAWriter(const std::string& fifo, F read) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    done.wait();
    return false;
  }
  std::string Fifo() {
    const std::string path = home + "/fifo";
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  void WriteSized(const std::string& path, size_t size) {
    ASSERT_EQ(win::WriteFileAtomic(path, std::string(size, 'b')), ERROR_SUCCESS);
  }
};

TEST_F(RegularFileTest, AFifoIsRefusedWithoutWaitingForAWriter) {
  const std::string fifo = Fifo();
  std::vector<uint8_t> bytes{1, 2, 3};
  DWORD e = ERROR_SUCCESS;
  EXPECT_TRUE(EndsWithoutAWriter(fifo, [&] { e = win::ReadWholeFile(fifo, bytes); }));
  EXPECT_EQ(e, win::kErrorNotRegularFile);
  EXPECT_TRUE(bytes.empty());

  win::File f;
  EXPECT_TRUE(EndsWithoutAWriter(fifo, [&] { e = f.Open(fifo, win::FileMode::ReadRegular); }));
  EXPECT_EQ(e, win::kErrorNotRegularFile);
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(win::CheckRegularFile(fifo), win::kErrorNotRegularFile);

  // Through a symbolic link it is the same FIFO.
  ASSERT_EQ(symlink(fifo.c_str(), (home + "/to-fifo").c_str()), 0);
  EXPECT_TRUE(EndsWithoutAWriter(fifo, [&] { e = win::ReadWholeFile(home + "/to-fifo", bytes); }));
  EXPECT_EQ(e, win::kErrorNotRegularFile);
}

TEST_F(RegularFileTest, DevicesAndFoldersAreRefusedRegularFilesAndLinksToThemRead) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(win::ReadWholeFile("/dev/null", bytes), win::kErrorNotRegularFile);
  EXPECT_EQ(win::ReadWholeFile("/dev/zero", bytes), win::kErrorNotRegularFile);  // would never end
  EXPECT_EQ(win::CheckRegularFile("/dev/zero"), win::kErrorNotRegularFile);
  EXPECT_EQ(win::ReadWholeFile(home, bytes), ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::CheckRegularFile(home), ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::ReadWholeFile(home + "/missing", bytes), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::CheckRegularFile(home + "/missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::CheckRegularFile(home + "/no/missing"), ERROR_PATH_NOT_FOUND);
  // FileMode::Read keeps opening what it opened before.
  win::File plain;
  EXPECT_EQ(plain.Open("/dev/null", win::FileMode::Read), ERROR_SUCCESS);

  const std::string path = home + "/data";
  WriteSized(path, 3);
  ASSERT_EQ(symlink(path.c_str(), (home + "/link").c_str()), 0);
  EXPECT_EQ(win::ReadWholeFile(home + "/link", bytes), ERROR_SUCCESS);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'b', 'b', 'b'}));
  EXPECT_EQ(win::CheckRegularFile(home + "/link"), ERROR_SUCCESS);

  // The descriptor of a regular file opened without blocking blocks again.
  win::File f;
  ASSERT_EQ(f.Open(path, win::FileMode::ReadRegular), ERROR_SUCCESS);
  EXPECT_EQ(fcntl(f.Descriptor(), F_GETFL) & O_NONBLOCK, 0);
}

TEST_F(RegularFileTest, TheBoundAcceptsItsOwnSizeAndRefusesOneByteMore) {
  const std::string path = home + "/sized";
  std::vector<uint8_t> bytes;
  WriteSized(path, 100);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 100), ERROR_SUCCESS);
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_EQ(win::CheckRegularFile(path, 100), ERROR_SUCCESS);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 99), win::kErrorFileTooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(win::CheckRegularFile(path, 99), win::kErrorFileTooLarge);
  // Beyond one read chunk, and an empty file under a bound of 0.
  WriteSized(path, 200000);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 200000), ERROR_SUCCESS);
  EXPECT_EQ(bytes.size(), 200000u);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 199999), win::kErrorFileTooLarge);
  WriteSized(path, 0);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 0), ERROR_SUCCESS);
  EXPECT_TRUE(bytes.empty());
  WriteSized(path, 1);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, 0), win::kErrorFileTooLarge);
  EXPECT_EQ(win::ReadWholeFile(path, bytes, UINT64_MAX), ERROR_SUCCESS);  // no bound at all
  EXPECT_EQ(bytes.size(), 1u);
  // The default bound is far above any real file, and a huge sparse file is
  // refused by its size, before anything is read.
  ASSERT_EQ(truncate(path.c_str(), off_t(win::kDefaultReadLimit) + 1), 0);
  EXPECT_EQ(win::ReadWholeFile(path, bytes), win::kErrorFileTooLarge);
  EXPECT_EQ(win::CheckRegularFile(path), win::kErrorFileTooLarge);
}

TEST_F(RegularFileTest, ErrorTextsSayWhatIsWrong) {
  EXPECT_EQ(win::FileErrorText(win::kErrorNotRegularFile),
            "It is not a regular file (a FIFO, a device or a socket).");
  EXPECT_EQ(win::FileErrorText(win::kErrorFileTooLarge, 4096), "It is larger than 4096 bytes.");
  EXPECT_EQ(win::FileErrorText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.");
  EXPECT_EQ(win::FileErrorText(777777), "Error 777777.");
}

}  // namespace
