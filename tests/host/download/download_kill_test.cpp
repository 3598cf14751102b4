// The host killed (SIGKILL) at random moments of downloads: the project
// opens afterwards, the configuration is whole, and one more download
// leaves the device as a clean complete download does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "data/blockinfo.h"
#include "data/records.h"
#include "download/lcdimage.h"
#include "temp_home.h"

extern char** environ;

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

class DownloadKill : public ::testing::Test {
 protected:
  int Run(const std::string& args, std::string* out = nullptr) {
    std::string ignored;
    return testsupport::RunCommand(Host() + " " + args + " 2>&1", out ? out : &ignored);
  }
  std::string Host() const {
    return "DX47X_HOME='" + home.Path() + "' '" + testsupport::BinDir() + "/dx47x-host'";
  }
  std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
  }
  std::unique_ptr<Blob> ExportBlob() {
    const std::string file = home.Path() + "/blob.bin";
    EXPECT_EQ(Run("blob 1.1.5 --export " + file), 0);
    std::vector<char> bytes = ReadFile(file);
    auto blob = std::make_unique<Blob>();
    EXPECT_EQ(bytes.size(), sizeof(Blob));
    if (bytes.size() == sizeof(Blob)) std::memcpy(blob.get(), bytes.data(), sizeof(Blob));
    return blob;
  }
  void ImportBlob(const Blob& blob) {
    const std::string file = home.Path() + "/edit.bin";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(&blob), sizeof blob);
    ASSERT_EQ(Run("blob 1.1.5 --import " + file), 0);
  }
  // Starts `dx47x-host download ...` and kills it after `delay`.
  void KillDownloadAfter(std::chrono::microseconds delay, bool full) {
    const std::string bin = testsupport::BinDir() + "/dx47x-host";
    const std::string homeVar = "DX47X_HOME=" + home.Path();
    std::vector<std::string> args = {bin, "download", "1.1.5"};
    if (full) args.push_back("--full");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {homeVar, "DX47X_TRACE="};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "DX47X_HOME=", 11) != 0) env.push_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
  }
  // The device's image area against a clean download of the configuration.
  void ExpectDeviceHoldsCurrent() {
    auto blob = ExportBlob();
    auto param = std::make_unique<dx470::PARAM>(blob->Current);
    auto image = std::make_unique<dx470::ImageBuffer>();
    const dx470::ImageResult built = dx470::BuildLcdImage(*param, *image);
    ASSERT_TRUE(built.ok());
    const std::string file = home.Path() + "/memory.bin";
    ASSERT_EQ(Run("memory 1.1.5 --from 0x7820 --length " + std::to_string(built.length) + " --out " + file),
              0);
    std::vector<char> memory = ReadFile(file);
    ASSERT_EQ(memory.size(), built.length);
    EXPECT_EQ(std::memcmp(memory.data(), image->data() + dx470::kImagePrefixSize, built.length), 0);
  }
  testsupport::TempHome home;
};

TEST_F(DownloadKill, AKilledDownloadLosesNothingAndTheNextOneMendsTheDevice) {
  ASSERT_EQ(Run("register"), 0);
  ASSERT_EQ(Run("init"), 0);
  ASSERT_EQ(Run("add-device 1.1.5"), 0);
  ASSERT_EQ(Run("download 1.1.5"), 0);
  std::mt19937 rng(47);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    // An edit that no checksum sees (a character between 0 and 255), and
    // now and then a visible one.
    auto blob = ExportBlob();
    uint8_t& code = blob->Current.Lcd.Messages[rng() % 16].Text[rng() % 3][rng() % 30];
    code = code == 255 ? 0 : 255;
    if (rng() % 3 == 0) blob->Current.Lcd.Messages[0].Text[0][rng() % 30] = uint8_t('A' + rng() % 26);
    dx470::UpdateBlockInformation(blob->Current);
    ImportBlob(*blob);

    // A download takes some 30 ms here: most kills land inside one.
    KillDownloadAfter(std::chrono::microseconds(rng() % 40000), rng() % 4 == 0);
    std::string out;
    ASSERT_EQ(Run("list", &out), 0) << out;
    EXPECT_EQ(ExportBlob()->Version, blob->Version);
    if (rng() % 2 == 0) continue;  // sometimes killed twice before the next download
    ASSERT_EQ(Run("download 1.1.5", &out), 0) << out;
    ExpectDeviceHoldsCurrent();
  }
  ASSERT_EQ(Run("download 1.1.5"), 0);
  ExpectDeviceHoldsCurrent();
}

}  // namespace
