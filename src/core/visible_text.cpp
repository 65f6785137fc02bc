#include "core/visible_text.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace vantu {

QString visible(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const QChar::Category category = QChar::category(codePoint);
        const bool hidden = category == QChar::Other_Control || category == QChar::Other_Format ||
                            category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
        if (!hidden) {
            shown.append(QString::fromUcs4(&codePoint, 1));
        } else if (codePoint < 0x100) {
            shown.append(u"\\x"_s + QString::number(codePoint, 16).toUpper().rightJustified(2, u'0'));
        } else {
            shown.append(u"\\u"_s + QString::number(codePoint, 16).toUpper().rightJustified(4, u'0'));
        }
    }
    return shown;
}

}  // namespace vantu
