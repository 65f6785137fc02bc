#pragma once

#include <QProcess>
#include <QString>

#include <cstdint>

namespace vantu::test {

// A real web server of web_server.py on one address: plain HTTP, HTTP behind TLS with the test
// certificate, or one that accepts and never answers. Killed with the object.
class WebServer {
public:
    enum class Kind { http, tls, silent };

    WebServer(Kind kind, const QString& host, uint16_t port, const QString& folder) {
        const char* const modes[] = {"http", "tls", "silent"};
        process_.setWorkingDirectory(folder);
        process_.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral(VANTU_TEST_SUPPORT_DIR "/web_server.py"),
                        QString::fromLatin1(modes[static_cast<int>(kind)]), host, QString::number(port),
                        QStringLiteral(VANTU_TEST_DATA_DIR "/localhost_tls.pem")});
        while (!line_.endsWith('\n') && (process_.canReadLine() || process_.waitForReadyRead(10000))) {
            line_ += process_.readLine();
        }
        port_ = line_.startsWith("PORT ") ? static_cast<uint16_t>(line_.trimmed().mid(5).toUInt()) : 0;
    }

    // 0 when it did not start; errors() then says why.
    [[nodiscard]] uint16_t port() const { return port_; }
    [[nodiscard]] int32_t pid() const { return static_cast<int32_t>(process_.processId()); }
    [[nodiscard]] QString errors() { return QString::fromUtf8(line_ + process_.readAllStandardError()); }

private:
    QProcess process_;
    QByteArray line_;
    uint16_t port_ = 0;
};

}  // namespace vantu::test
