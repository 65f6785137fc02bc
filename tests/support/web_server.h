#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace vantu::test {

// A real web server of web_server.py on one loopback address: plain HTTP, HTTP behind TLS with
// the test certificate, or one that accepts and never answers. Killed when the test ends.
class WebServer {
public:
    enum class Kind { http, tls, silent };

    WebServer(Kind kind, const QString& host, uint16_t port, const QString& folder) {
        const char* const modes[] = {"http", "tls", "silent"};
        process_->setWorkingDirectory(folder);
        process_->start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(VANTU_TEST_SUPPORT_DIR "/web_server.py"),
                         QString::fromLatin1(modes[static_cast<int>(kind)]), host, QString::number(port),
                         QStringLiteral(VANTU_TEST_DATA_DIR "/localhost_tls.pem")});
        QByteArray line;
        while (!line.endsWith('\n') && (process_->canReadLine() || process_->waitForReadyRead(10000))) {
            line += process_->readLine();
        }
        port_ = line.startsWith("PORT ") ? static_cast<uint16_t>(line.trimmed().mid(5).toUInt()) : 0;
        if (port_ == 0) {
            process_->waitForFinished(2000);
            errors_ = QString::fromUtf8(line) + process_->errorString() + u'\n' +
                      QString::fromUtf8(process_->readAllStandardError());
        }
    }
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;
    ~WebServer() {
        process_->kill();
        process_->waitForFinished();
    }

    // 0 when it did not start.
    [[nodiscard]] uint16_t port() const { return port_; }
    [[nodiscard]] int32_t pid() const { return static_cast<int32_t>(process_->processId()); }
    // Why it did not start.
    [[nodiscard]] const QString& errors() const { return errors_; }

private:
    std::unique_ptr<QProcess> process_ = std::make_unique<QProcess>();
    uint16_t port_ = 0;
    QString errors_;
};

}  // namespace vantu::test
