// Feeds arbitrary bytes as package.json content and checks what a project name promises:
// parsing never fails loudly, and a name that comes out starts with no space, holds no
// control or format characters, and is at most 120 user-perceived characters long.
#include "project/project_resolver.h"

#include <QJsonValue>
#include <QTextBoundaryFinder>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkName(const std::optional<QString>& name) {
    if (!name) {
        return;
    }
    // Trimmed before the cut, so only the end may show a space where the cut fell.
    if (name->isEmpty() || name->front().isSpace() || name->trimmed().isEmpty()) {
        std::abort();
    }
    for (const uint codePoint : name->toUcs4()) {
        const auto category = QChar::category(static_cast<char32_t>(codePoint));
        if (category == QChar::Other_Control || category == QChar::Other_Format) {
            std::abort();
        }
    }
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, *name);
    int count = 0;
    while (graphemes.toNextBoundary() >= 0) {
        ++count;
    }
    if (count > vantu::ProjectResolver::kMaxNameLength) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The same bytes as a name of their own, and as a whole package.json.
    checkName(vantu::ProjectResolver::cleanName(QString::fromUtf8(bytes)));
    if (const auto package = vantu::ProjectResolver::parsePackage(bytes)) {
        const QJsonValue name = package->value(QLatin1StringView("name"));
        if (name.isString()) {
            checkName(vantu::ProjectResolver::cleanName(name.toString()));
        }
    }
    return 0;
}
