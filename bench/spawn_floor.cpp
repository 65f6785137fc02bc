// The least any program pays for running the listing tool as a child: start it, read its
// output to the end, wait for it, exit. Built twice by cli_bench.sh, once plain and once
// linked with QtCore (-DWITH_QT), so the figures separate what being a wrapper costs, what
// loading Qt costs, and what vantu-cli's own work costs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef WITH_QT
#include <QString>
#endif

extern char** environ;

int main(int argc, char** argv) {
#ifdef WITH_QT
    // Touch QtCore so it is loaded and initialised as in any Qt program.
    const QString loaded = QString::number(argc);
#endif
    if (argc < 2) {
        return 64;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return 2;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    pid_t child = -1;
    if (::posix_spawn(&child, argv[1], &actions, nullptr, argv + 1, environ) != 0) {
        return 2;
    }
    ::close(pipeEnds[1]);
    char buffer[16384];
    while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
    }
    int status = 0;
    ::waitpid(child, &status, 0);
#ifdef WITH_QT
    return loaded.isEmpty() ? 2 : 0;
#else
    return 0;
#endif
}
