#include "core/port_service_error.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// Compared as UTF-8 bytes, so a straight apostrophe or a missing space cannot pass. The
// system's error texts are the English ones of the C.UTF-8 locale the tests run in.
TEST(PortServiceErrorTest, EveryMessageByteForByte) {
    struct Case {
        const char* what;
        ServiceError error;
        QByteArray expected;
    };
    const Case cases[] = {
        {"scan failed with the tool's text", PortServiceError::scanFailed(u"lsof: WARNING: can\u2019t stat()\n"_s),
         "Couldn\xE2\x80\x99t read listening ports. lsof: WARNING: can\xE2\x80\x99t stat()\n"},
        {"scan failed with nothing printed", PortServiceError::scanFailed(QString()),
         "Couldn\xE2\x80\x99t read listening ports. "},
        {"signal refused", PortServiceError::signalFailed(EPERM),
         "Couldn\xE2\x80\x99t stop process: Operation not permitted."},
        {"process vanished before the signal", PortServiceError::signalFailed(ESRCH),
         "Couldn\xE2\x80\x99t stop process: No such process."},
        {"scan timed out", PortServiceError::scanTimedOut(), "Port scan timed out. Try refreshing."},
        {"process changed", PortServiceError::processChanged(),
         "This process has exited or changed. Refresh and try again."},
        {"protected process", PortServiceError::protectedProcess(), "Only your own processes can be stopped."},
        {"tool missing", LaunchError{u"/usr/bin/lsof: No such file or directory"_s},
         "/usr/bin/lsof: No such file or directory"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorDescription(c.error).toUtf8(), c.expected) << c.what;
        if (const auto* error = std::get_if<PortServiceError>(&c.error)) {
            EXPECT_EQ(error->errorDescription().toUtf8(), c.expected) << c.what;
        }
    }
}

TEST(PortServiceErrorTest, CasesCarryTheirPayload) {
    const auto failed = PortServiceError::scanFailed(u"detail"_s);
    EXPECT_EQ(failed.errorCase(), PortServiceError::Case::scanFailed);
    EXPECT_EQ(failed.detail(), u"detail"_s);
    EXPECT_NE(failed, PortServiceError::scanFailed(u"other"_s));

    const auto refused = PortServiceError::signalFailed(EPERM);
    EXPECT_EQ(refused.errorCase(), PortServiceError::Case::signalFailed);
    EXPECT_EQ(refused.errorNumber(), EPERM);
    EXPECT_NE(refused, PortServiceError::signalFailed(ESRCH));

    EXPECT_EQ(PortServiceError::scanTimedOut().errorCase(), PortServiceError::Case::scanTimedOut);
    EXPECT_EQ(PortServiceError::processChanged().errorCase(), PortServiceError::Case::processChanged);
    EXPECT_EQ(PortServiceError::protectedProcess().errorCase(), PortServiceError::Case::protectedProcess);
    EXPECT_NE(PortServiceError::processChanged(), PortServiceError::protectedProcess());
}

}  // namespace
}  // namespace vantu
