#include "project_process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "temp_home.h"

namespace projecttest {

pid_t StartHost(const std::vector<std::string>& args, const std::string& outputFile, const HostRun& run) {
  const std::string program = testsupport::BinDir() + "/dx47x-host";
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The child: only async-signal-safe calls until exec.
  int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  if (run.fileSizeLimit) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(*run.fileSizeLimit), static_cast<rlim_t>(*run.fileSizeLimit)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int RunHost(const std::vector<std::string>& args, std::string* output, const HostRun& run) {
  testsupport::TempDir dir;
  const std::string file = dir.File("output.txt");
  int code = WaitFor(StartHost(args, file, run));
  if (output) *output = ReadText(file);
  return code;
}

bool PrivateMounts() {
  static const bool done = [] {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    // Mounts made from here on stay in this process's namespace.
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return done;
}

bool MountReadOnly(const std::string& folder, const std::string& at) {
  if (!PrivateMounts()) return false;
  if (::mount(folder.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
  if (::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    ::umount2(at.c_str(), MNT_DETACH);
    return false;
  }
  return true;
}

bool MountSmallTmpfs(const std::string& at, uint64_t bytes) {
  if (!PrivateMounts()) return false;
  const std::string options = "size=" + std::to_string(bytes);
  return ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

void Unmount(const std::string& at) { ::umount2(at.c_str(), MNT_DETACH); }

}  // namespace projecttest
