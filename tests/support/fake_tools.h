#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace vantu::test {

// Absolute path of one of the fake listing tools in tests/support/fake_tools.
inline QString fakeTool(const char* name) {
    return QStringLiteral(VANTU_TEST_SUPPORT_DIR "/fake_tools/") + QString::fromUtf8(name);
}

// Environment variables set for one scope and restored after it. The fake tools take their
// behaviour from the environment they inherit.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->value) {
                qputenv(it->name.constData(), *it->value);
            } else {
                qunsetenv(it->name.constData());
            }
        }
    }

    void set(const char* name, const QByteArray& value) {
        saved_.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv(name, value);
    }

private:
    struct Saved {
        QByteArray name;
        std::optional<QByteArray> value;
    };
    std::vector<Saved> saved_;
};

}  // namespace vantu::test
