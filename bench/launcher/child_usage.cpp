// Runs a program (its output thrown away) as a child of this small process
// and prints the child's usage on one line: user and system CPU seconds,
// minor and major page faults, peak resident set in KiB, exit status (-1
// when it did not exit normally).
//
// Why a process of its own: a child's peak resident set also counts the
// memory of the process it was started from, up to its exec. Started from a
// benchmark, that is the benchmark's memory; started from here, only this
// program's few pages.
#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execv(argv[1], argv + 1);
    _exit(127);
  }
  int wstatus = 0;
  rusage ru{};
  if (wait4(pid, &wstatus, 0, &ru) != pid) return 2;
  std::printf("%ld.%06ld %ld.%06ld %ld %ld %ld %d\n", static_cast<long>(ru.ru_utime.tv_sec),
              static_cast<long>(ru.ru_utime.tv_usec), static_cast<long>(ru.ru_stime.tv_sec),
              static_cast<long>(ru.ru_stime.tv_usec), ru.ru_minflt, ru.ru_majflt, ru.ru_maxrss,
              WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1);
  return 0;
}
