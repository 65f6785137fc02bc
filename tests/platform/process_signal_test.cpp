#include "platform/process_signal.h"

#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace vantu::platform {
namespace {

using test::SpawnedListener;

TEST(PinnedProcessTest, SignalsThePinnedChild) {
    SpawnedListener child = SpawnedListener::start();
    auto pinned = PinnedProcess::pin(child.pid());
    ASSERT_TRUE(std::holds_alternative<PinnedProcess>(pinned));
    EXPECT_TRUE(std::get<PinnedProcess>(pinned).isPinned());
    EXPECT_EQ(std::get<PinnedProcess>(pinned).sendSignal(SIGTERM), 0);
    EXPECT_EQ(child.waitForEndingSignal(10s), SIGTERM);
}

TEST(PinnedProcessTest, APinOutlivesItsProcessButReachesNoOneElse) {
    SpawnedListener child = SpawnedListener::start();
    auto pinned = PinnedProcess::pin(child.pid());
    ASSERT_TRUE(std::holds_alternative<PinnedProcess>(pinned));
    EXPECT_EQ(std::get<PinnedProcess>(pinned).facts(), readProcessFacts(child.pid()));
    child.kill();  // killed and reaped: the pid is free for reuse
    EXPECT_EQ(std::get<PinnedProcess>(pinned).sendSignal(SIGTERM), ESRCH);
    EXPECT_EQ(std::get<PinnedProcess>(pinned).facts(), std::nullopt);
}

TEST(PinnedProcessTest, RefusesPidsThatNameNoSingleProcess) {
    SpawnedListener child = SpawnedListener::start();
    const pid_t gone = child.pid();
    child.kill();
    struct Case {
        int32_t pid;
        int error;
    };
    // 0 and -1 would reach whole process groups or every process through kill.
    const Case cases[] = {{0, EINVAL}, {-1, EINVAL}, {-gone, EINVAL}, {gone, ESRCH}};
    for (const Case& c : cases) {
        const auto pinned = PinnedProcess::pin(c.pid);
        ASSERT_TRUE(std::holds_alternative<int>(pinned)) << c.pid;
        EXPECT_EQ(std::get<int>(pinned), c.error) << c.pid;
    }
}

#if defined(__x86_64__)
constexpr uint32_t kNativeAudit = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kNativeAudit = AUDIT_ARCH_AARCH64;
#else
constexpr uint32_t kNativeAudit = 0;
#endif

constexpr sock_filter statement(uint16_t code, uint32_t k) {
    return sock_filter{code, 0, 0, k};
}
constexpr sock_filter jumpIfEqual(uint32_t k, uint8_t ifTrue, uint8_t ifFalse) {
    return sock_filter{BPF_JMP | BPF_JEQ | BPF_K, ifTrue, ifFalse, k};
}

// Makes this process's kernel look older than pidfds: both calls fail with ENOSYS.
bool hidePidfds() {
    static const sock_filter filter[] = {
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        jumpIfEqual(kNativeAudit, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        jumpIfEqual(SYS_pidfd_open, 2, 0),
        jumpIfEqual(SYS_pidfd_send_signal, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), const_cast<sock_filter*>(filter)};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(PinnedProcessTest, FallsBackToThePidWhenTheKernelHasNoPidfds) {
    if (kNativeAudit == 0) {
        GTEST_SKIP() << "no seccomp architecture constant for this machine";
    }
    SpawnedListener child = SpawnedListener::start();
    // The filter cannot be lifted again, so it goes into a helper process.
    const pid_t helper = ::fork();
    if (helper == 0) {
        if (!hidePidfds()) {
            ::_exit(10);
        }
        const auto pinned = PinnedProcess::pin(child.pid());
        if (!std::holds_alternative<PinnedProcess>(pinned)) {
            ::_exit(11);
        }
        if (std::get<PinnedProcess>(pinned).isPinned()) {
            ::_exit(12);
        }
        ::_exit(std::get<PinnedProcess>(pinned).sendSignal(SIGTERM) == 0 ? 0 : 13);
    }
    ASSERT_GT(helper, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(helper, &status, 0), helper);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10) {
        GTEST_SKIP() << "seccomp filters are not available here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(child.waitForEndingSignal(10s), SIGTERM);
}

}  // namespace
}  // namespace vantu::platform
