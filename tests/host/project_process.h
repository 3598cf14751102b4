#pragma once
// dx47x-host as a child process that a test can start, limit, kill by its
// id and wait for; and the few mounts the robustness tests need.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace projecttest {

struct HostRun {
  // Limits the size of any file the child writes (RLIMIT_FSIZE, SIGXFSZ
  // ignored so that a write beyond it fails with EFBIG).
  std::optional<uint64_t> fileSizeLimit;
};

// Starts build/bin/dx47x-host with the arguments; its standard output and
// error go to `outputFile`. The environment is the test's ($DX47X_HOME).
pid_t StartHost(const std::vector<std::string>& args, const std::string& outputFile, const HostRun& run = {});

// Waits for the child; its exit code, or -1 when a signal ended it.
int WaitFor(pid_t pid);

// Runs dx47x-host to its end; the exit code, with its output in *output.
int RunHost(const std::vector<std::string>& args, std::string* output, const HostRun& run = {});

std::string ReadText(const std::string& path);

// Gives this test process (and the children it starts) mounts of its own,
// so that the mounts below vanish with it. False when that is not allowed.
bool PrivateMounts();
// A read-only view of `folder` at `at` (a bind mount); false when not allowed.
bool MountReadOnly(const std::string& folder, const std::string& at);
// A small tmpfs of `bytes` at `at`; false when not allowed.
bool MountSmallTmpfs(const std::string& at, uint64_t bytes);
void Unmount(const std::string& at);

}  // namespace projecttest
