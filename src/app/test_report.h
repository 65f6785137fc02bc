#pragma once

#include <QFile>
#include <QObject>
#include <QString>

namespace vantu {

class AppDelegate;

// What the app shows, written line by line to a file for the end-to-end test and the
// benchmark script: icon clicks, the popover opening and closing, its first painted frame,
// the start and end of each scan, whether the panel is in the tray, and the rows with the place of each Stop button.
// Built only with the test hooks, and enabled by `--test-report FILE`.
class TestReport : public QObject {
    Q_OBJECT

public:
    TestReport(const QString& path, AppDelegate& delegate);

private:
    void write(const QString& line);
    void writeRows();

    QFile file_;
    AppDelegate& delegate_;
    bool awaitingPaint_ = false;
    bool wasRefreshing_ = false;
};

}  // namespace vantu
