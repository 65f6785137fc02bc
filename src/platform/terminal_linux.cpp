#include "platform/terminal.h"

#include <QByteArray>
#include <QtGlobal>

#include <sys/ioctl.h>
#include <unistd.h>

namespace vantu::platform {

std::optional<int> terminalColumns() {
    if (::isatty(STDOUT_FILENO) == 0) {
        return std::nullopt;
    }
    // Narrower than this, no table reads well; wider is someone's typo.
    constexpr int kNarrowest = 20;
    constexpr int kWidest = 10000;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    if (ok && columns >= kNarrowest && columns <= kWidest) {
        return columns;
    }
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= kNarrowest) {
        return static_cast<int>(size.ws_col);
    }
    return std::nullopt;
}

}  // namespace vantu::platform
