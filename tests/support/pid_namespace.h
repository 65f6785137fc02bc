#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace vantu::test {

// Tests that need a pid namespace of their own run again inside one, as its first process:
// the outer run starts `unshare` on this very test program, filtered to the one test.
inline constexpr char kInsidePidNamespace[] = "VANTU_TEST_INSIDE_PID_NAMESPACE";

inline bool insidePidNamespace() {
    return qEnvironmentVariableIntValue(kInsidePidNamespace) == 1;
}

struct NamespaceRun {
    int exitCode = -1;
    QString output;
};

// `test` is "Suite.Name". With `ownProc`, the namespace gets a /proc of its own; without, it
// keeps seeing the host's /proc, whose pids are not the ones it lives by.
inline NamespaceRun rerunInPidNamespace(const QString& test, bool ownProc) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kInsidePidNamespace), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{QStringLiteral("--pid"), QStringLiteral("--fork")};
    if (ownProc) {
        arguments << QStringLiteral("--mount-proc");
    }
    arguments << QCoreApplication::applicationFilePath() << QStringLiteral("--gtest_filter=") + test;
    process.start(QStringLiteral("/usr/bin/unshare"), arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    return NamespaceRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                        QString::fromLocal8Bit(process.readAll())};
}

// Runs `test` in a new pid namespace and expects it to pass there.
inline void expectPassesInPidNamespace(const QString& test, bool ownProc) {
    const NamespaceRun run = rerunInPidNamespace(test, ownProc);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << run.output.toStdString();
}

// A child that does nothing until killed, started so that it gets `wanted` as its pid in this
// program's pid namespace (set through ns_last_pid, which needs root). Its pid, which is
// `wanted` unless another process took it first.
inline pid_t forkWithPid(pid_t wanted) {
    if (FILE* last = std::fopen("/proc/sys/kernel/ns_last_pid", "w")) {
        std::fprintf(last, "%d", wanted - 1);
        std::fclose(last);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        for (;;) {
            ::pause();
        }
    }
    return child;
}

}  // namespace vantu::test
