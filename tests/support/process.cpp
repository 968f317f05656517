#include "tests/support/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/files.h"

RunResult runProgram(const std::vector<std::string>& argv, const std::string& dir) {
  const std::string outPath = testDir() + "/run.out", errPath = testDir() + "/run.err";
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
    execv(args[0], args.data());
    _exit(127);
  }
  RunResult result;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    result.status = WEXITSTATUS(wstatus);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}
