#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace {

long long NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

/** Reads the pipe until end of file or the deadline; true if end of file was reached. */
bool ReadUntilEnd(int fd, long long deadline, std::string &output)
{
    char chunk[4096];
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            return false;
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        output.append(chunk, static_cast<size_t>(got));
    }
}

} // namespace

ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args,
                      int timeoutMs)
{
    ProgramRun run;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;

    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return run;
    }

    run.timedOut = !ReadUntilEnd(pipeFds[0], NowMs() + timeoutMs, run.output);
    close(pipeFds[0]);
    if (run.timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    return run;
}
