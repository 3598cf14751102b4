// dx47x-host killed (SIGKILL, by its process id) at random moments while it
// saves: an editor save, a BLOB import, a parameter-file import, adding a
// device. Afterwards the project opens, every device has a configuration the
// plug-in reads, and `list` works. The moments come from a fixed seed.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "host/project.h"
#include "host/project_blob.h"
#include "project_process.h"
#include "temp_home.h"

namespace projecttest {
namespace {

class KilledHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Run({"register"}), 0) << output;
    ASSERT_EQ(Run({"init"}), 0) << output;
    ASSERT_EQ(Run({"add-device", "1.1.1"}), 0) << output;
    ASSERT_EQ(Run({"add-device", "1.1.2"}), 0) << output;
    ASSERT_EQ(Run({"export-lcd", "1.1.1", File("texts.lcd")}), 0) << output;
    ASSERT_EQ(Run({"blob", "1.1.1", "--export", File("a.bin")}), 0) << output;
    std::ifstream in(File("a.bin"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), host::kBlobSize);
    bytes[14 + 69 + 2] ^= 0x20;  // a letter of the first message's text
    std::ofstream(File("b.bin"), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    std::ofstream(File("save.ui")) << "ok\n";
  }
  std::string File(const std::string& name) const { return home.Path() + "/" + name; }
  int Run(const std::vector<std::string>& args) { return RunHost(args, &output); }

  // Starts the command, kills it after `delay` unless it ended before; true
  // when it was killed.
  bool RunAndKill(const std::vector<std::string>& args, std::chrono::microseconds delay) {
    pid_t pid = StartHost(args, File("killed.txt"));
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    return WaitFor(pid) == -1;
  }
  // How long the command takes when it runs to its end.
  std::chrono::microseconds Duration(const std::vector<std::string>& args) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(args), 0) << output;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  }

  void ExpectIntact(const std::string& after) {
    SCOPED_TRACE(after);
    host::Project p = host::Project::Open(home.Path() + "/project.db");
    for (const host::DeviceSummary& d : p.Devices())
      EXPECT_EQ(host::ConfigurationProblem(p, d.id), std::nullopt) << d.address.ToString();
    EXPECT_EQ(Run({"list"}), 0) << output;
    EXPECT_EQ(output.find("note:"), std::string::npos) << output;
  }

  testsupport::TempHome home;
  std::string output;
};

TEST_F(KilledHost, EverySaveIsWholeOrNotAtAll) {
  std::mt19937 rng(47);
  int added = 0, killed = 0;
  for (int round = 0; round < 80; ++round) {
    std::vector<std::string> args;
    switch (round % 4) {
      case 0: args = {"edit", "1.1.1", "--script", File("save.ui")}; break;
      case 1: args = {"blob", "1.1.2", "--import", File(round % 8 == 1 ? "a.bin" : "b.bin")}; break;
      case 2: args = {"import-lcd", "1.1.2", File("texts.lcd")}; break;
      default: args = {"add-device", "1.2." + std::to_string(round)}; break;
    }
    // A whole run first (adding at another address), then one killed at a
    // moment up to a little after such a run ends, so that some end first.
    std::vector<std::string> whole = args;
    if (args[0] == "add-device") {
      whole[1] = "1.3." + std::to_string(round);
      ++added;
    }
    std::uniform_int_distribution<int64_t> moment(0, Duration(whole).count() * 5 / 4);
    const std::string command = args[0] + " " + args[1];
    if (RunAndKill(args, std::chrono::microseconds(moment(rng)))) ++killed;
    ExpectIntact("round " + std::to_string(round) + ": " + command);
    if (HasFailure()) return;
  }
  // Most runs were cut short; the project still takes changes.
  EXPECT_GE(killed, 20);
  EXPECT_EQ(Run({"add-device", "1.4.1"}), 0) << output;
  host::Project p = host::Project::Open(home.Path() + "/project.db");
  EXPECT_GE(p.Devices().size(), size_t(2 + added + 1));
}

}  // namespace
}  // namespace projecttest
