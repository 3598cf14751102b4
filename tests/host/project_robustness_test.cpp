// A project file in trouble: damaged, read-only, on a full file system,
// written by two programs at once. Each failure is one clear line that names
// the project and its cause, and the previous state stays as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "host/project.h"
#include "host/project_blob.h"
#include "project_process.h"
#include "temp_home.h"

namespace projecttest {
namespace {

// A valid BLOB (as the plug-in checks one) whose byte 100 is `mark`.
host::StoredValue BlobValue(uint8_t mark) {
  host::StoredValue v;
  v.vt = VT_ARRAY | VT_UI1;
  const uint32_t n = host::kBlobSize;
  v.bounds = {0, 0, 0, 0, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  v.data.assign(n, 0);
  v.data[2] = 1;  // version 0x00010000
  v.data[100] = mark;
  return v;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// dx47x-host --project PROJECT with the blank-separated arguments.
int HostOn(const std::string& project, const std::string& args, std::string* output,
           const HostRun& run = {}) {
  std::vector<std::string> argv = {"--project", project};
  std::string word;
  for (char c : args + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      argv.push_back(word);
      word.clear();
    }
  }
  return RunHost(argv, output, run);
}

class Trouble : public ::testing::Test {
 protected:
  Trouble() : path(home.Path() + "/p.db") {
    host::Project p = host::Project::Create(path, "Trouble");
    id = p.AddDevice({1, 1, 5}, host::Dx47xDeviceTemplate());
    p.WriteExtData(id, host::kBlobKey, BlobValue(1));
    p.AddGroupAddress(0x0801, "Light");
  }
  int Host(const std::string& args, const HostRun& run = {}) { return HostOn(path, args, &output, run); }
  uint8_t StoredMark() {
    host::Project p = host::Project::OpenReadOnly(path);
    std::optional<host::StoredValue> v = p.ReadExtData(id, host::kBlobKey);
    return v && v->data.size() > 100 ? v->data[100] : 0xFF;
  }
  std::string ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const host::ProjectError& e) {
      return e.what();
    }
    return "(no error)";
  }

  testsupport::TempHome home;
  std::string path;
  int64_t id = 0;
  std::string output;
};

TEST_F(Trouble, AMissingTableOrColumnIsNamedWithTheProject) {
  host::Project::Open(path).Store().Exec("DROP TABLE ext_data;");
  const std::string expected = "the project " + path + " is damaged: no such table: ext_data";
  EXPECT_EQ(ErrorOf([&] { host::Project::Open(path); }), expected);
  EXPECT_EQ(ErrorOf([&] { host::Project::OpenReadOnly(path); }), expected);
  try {
    host::Project::Open(path);
  } catch (const host::ProjectError& e) {
    EXPECT_EQ(e.Code(), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  }
  for (const char* command : {"list", "show 1.1.5", "edit 1.1.5", "add-device 1.1.6", "download 1.1.5"}) {
    EXPECT_EQ(Host(command), 1) << command;
    EXPECT_EQ(output, "dx47x-host: " + expected + "\n") << command;
  }

  host::Project::Create(home.Path() + "/q.db", "Q")
      .Store()
      .Exec("ALTER TABLE comm_objects DROP COLUMN function;");
  EXPECT_EQ(ErrorOf([&] { host::Project::Open(home.Path() + "/q.db"); }),
            "the project " + home.Path() + "/q.db is damaged: no such column: comm_objects.function");
}

// The folder (or the whole mount) cannot be written: everything that only
// reads works, every change fails and says why.
class ReadOnlyProject : public Trouble {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      ::chmod(path.c_str(), 0444);
      ASSERT_EQ(::chmod(home.Path().c_str(), 0555), 0);
      view = path;
    } else {
      // chmod does not stop root: a read-only mount does.
      mountPoint = mounts.Path();
      if (!MountReadOnly(home.Path(), mountPoint))
        GTEST_SKIP() << "running as root without the right to mount: no read-only place to test";
      view = mountPoint + "/p.db";
    }
  }
  void TearDown() override {
    if (!mountPoint.empty()) Unmount(mountPoint);
    ::chmod(home.Path().c_str(), 0755);
  }
  int HostOnView(const std::string& args) { return HostOn(view, args, &output); }

  testsupport::TempDir mounts, out;
  std::string mountPoint, view;
};

TEST_F(ReadOnlyProject, ReadingWorksAndChangesFailClearly) {
  EXPECT_EQ(HostOnView("list"), 0) << output;
  EXPECT_TRUE(Contains(output, "1.1.5")) << output;
  EXPECT_TRUE(Contains(output, "ok (112292 bytes")) << output;
  EXPECT_EQ(HostOnView("show 1.1.5"), 0) << output;
  EXPECT_EQ(HostOnView("objects 1.1.5"), 0) << output;
  EXPECT_EQ(HostOnView("device 1.1.5"), 0) << output;
  EXPECT_EQ(HostOnView("memory 1.1.5 --length 16"), 0) << output;
  EXPECT_EQ(HostOnView("blob 1.1.5 --export " + out.File("b.bin")), 0) << output;
  EXPECT_EQ(std::filesystem::file_size(out.File("b.bin")), host::kBlobSize);

  WriteFile(out.File("new.bin"), BlobValue(2).data);
  for (const std::string& change :
       std::vector<std::string>{"device 1.1.5 --name Other", "blob 1.1.5 --import " + out.File("new.bin"),
                                "group-address add 1/1/9 X"}) {
    EXPECT_EQ(HostOnView(change), 1) << change;
    EXPECT_TRUE(Contains(output, "is open for reading only")) << output;
    EXPECT_TRUE(Contains(output, "nothing was changed")) << output;
  }
  EXPECT_EQ(StoredMark(), 1);

  host::Project p = host::Project::Open(view);
  EXPECT_TRUE(p.Store().ReadOnly());
  try {
    p.SetName(id, "x");
    ADD_FAILURE() << "a read-only project was changed";
  } catch (const host::ProjectError& e) {
    EXPECT_EQ(e.Code(), E_ACCESSDENIED);
  }
}

// Changes left in the journal by a killed writer cannot be read without the
// journal's index, which a read-only folder cannot take: a clear refusal,
// not the project as it was before those changes.
TEST_F(Trouble, PendingJournalChangesInAReadOnlyPlaceAreNotSkipped) {
  pid_t child = ::fork();
  if (child == 0) {
    host::Project p = host::Project::Open(path);
    p.Store().Exec("PRAGMA wal_autocheckpoint = 0;");
    p.WriteExtData(id, host::kBlobKey, BlobValue(2));
    ::_exit(0);  // no clean close: the change stays in the journal
  }
  ASSERT_EQ(WaitFor(child), 0);
  ASSERT_GT(std::filesystem::file_size(path + "-wal"), 0u);
  std::filesystem::remove(path + "-shm");
  testsupport::TempDir mounts;
  std::string view = path;
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(home.Path().c_str(), 0555), 0);
  } else {
    if (!MountReadOnly(home.Path(), mounts.Path()))
      GTEST_SKIP() << "running as root without the right to mount: no read-only place to test";
    view = mounts.Path() + "/p.db";
  }
  std::string error = ErrorOf([&] { host::Project::OpenReadOnly(view); });
  EXPECT_TRUE(Contains(error, "holds changes not yet written into it")) << error;
  if (::geteuid() == 0) Unmount(mounts.Path());
  ::chmod(home.Path().c_str(), 0755);
  EXPECT_EQ(StoredMark(), 2);  // where it can be written, the change is there
}

// A write that the file system cannot take fails with its cause and leaves
// the project as it was: first a file-size limit, which works everywhere.
TEST_F(Trouble, AWriteBeyondTheFileSizeLimitFailsAndKeepsTheProject) {
  WriteFile(home.Path() + "/new.bin", BlobValue(2).data);
  EXPECT_EQ(Host("blob 1.1.5 --import " + home.Path() + "/new.bin", HostRun{64 * 1024}), 1) << output;
  EXPECT_TRUE(Contains(output, "the project " + path + " cannot be saved")) << output;
  EXPECT_TRUE(Contains(output, "nothing was changed")) << output;
  EXPECT_EQ(StoredMark(), 1);
  EXPECT_EQ(Host("list"), 0) << output;
  EXPECT_EQ(Host("blob 1.1.5 --import " + home.Path() + "/new.bin"), 0) << output;
  EXPECT_EQ(StoredMark(), 2);
}

// Then a file system that is full.
TEST(FullDisk, AWriteToAFullFileSystemFailsAndKeepsTheProject) {
  testsupport::TempDir place;
  if (!MountSmallTmpfs(place.Path(), 1024 * 1024))
    GTEST_SKIP() << "no right to mount a small file system here (the file-size limit test covers the CLI)";
  const std::string path = place.File("p.db");
  std::vector<int64_t> stored;
  std::string error;
  {
    host::Project p = host::Project::Create(path, "Full");
    for (int device = 1; device < 40 && error.empty(); ++device) {
      try {
        int64_t id = p.AddDevice({1, 1, device}, host::Dx47xDeviceTemplate());
        p.WriteExtData(id, host::kBlobKey, BlobValue(uint8_t(device)));
        stored.push_back(id);
      } catch (const host::ProjectError& e) {
        error = e.what();
        EXPECT_EQ(e.Code(), HRESULT_FROM_WIN32(ERROR_DISK_FULL)) << error;
      }
    }
  }
  EXPECT_TRUE(Contains(error, "the project " + path + " cannot be saved: the disk is full")) << error;
  ASSERT_GE(stored.size(), 2u);
  host::Project p = host::Project::OpenReadOnly(path);
  for (size_t i = 0; i < stored.size(); ++i) {
    std::optional<host::StoredValue> v = p.ReadExtData(stored[i], host::kBlobKey);
    ASSERT_TRUE(v) << i;
    EXPECT_EQ(v->data, BlobValue(uint8_t(i + 1)).data) << i;
  }
  Unmount(place.Path());
}

// Two programs writing at once: the second waits for the first.
TEST_F(Trouble, WritersWaitForEachOther) {
  WriteFile(home.Path() + "/a.bin", BlobValue(2).data);
  std::vector<pid_t> children;
  {
    host::Project holder = host::Project::Open(path);
    host::Transaction hold(holder.Store());
    for (int i = 0; i < 6; ++i) {
      std::vector<std::string> args = {"--project", path};
      if (i == 0) {
        args.insert(args.end(), {"blob", "1.1.5", "--import", home.Path() + "/a.bin"});
      } else {
        args.insert(args.end(),
                    {"group-address", "add", "2/0/" + std::to_string(i), "G" + std::to_string(i)});
      }
      children.push_back(StartHost(args, home.Path() + "/out" + std::to_string(i) + ".txt"));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    hold.Commit();
  }
  for (size_t i = 0; i < children.size(); ++i)
    EXPECT_EQ(WaitFor(children[i]), 0) << ReadText(home.Path() + "/out" + std::to_string(i) + ".txt");
  host::Project p = host::Project::OpenReadOnly(path);
  EXPECT_EQ(p.GroupAddresses().size(), 6u);
  EXPECT_EQ(StoredMark(), 2);
}

// ... and gives up after the busy timeout with a clear line, changing nothing.
TEST_F(Trouble, AWriterThatWaitsTooLongFailsClearly) {
  host::Project holder = host::Project::Open(path);
  host::Transaction hold(holder.Store());
  const auto start = std::chrono::steady_clock::now();
  pid_t child =
      StartHost({"--project", path, "group-address", "add", "3/0/1", "Late"}, home.Path() + "/late.txt");
  int code = WaitFor(child);
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  hold.Commit();
  std::string text = ReadText(home.Path() + "/late.txt");
  EXPECT_EQ(code, 1) << text;
  EXPECT_TRUE(Contains(text, "the project " + path + " is locked by another program")) << text;
  EXPECT_TRUE(Contains(text, "after waiting 5.0 s")) << text;
  EXPECT_GE(waited, 4.5);
  EXPECT_FALSE(host::Project::OpenReadOnly(path).GroupAddressName(0x1801));
}

}  // namespace
}  // namespace projecttest
