#include "platform/tray/status_notifier_wire.h"

#include <QDBusMetaType>

namespace vantu::platform {

SniPixmap SniPixmap::fromImage(const QImage& image) {
    const QImage argb32 = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap pixmap{argb32.width(), argb32.height(), {}};
    pixmap.argb.reserve(static_cast<qsizetype>(argb32.width()) * argb32.height() * 4);
    for (int y = 0; y < argb32.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb32.constScanLine(y));
        for (int x = 0; x < argb32.width(); ++x) {
            // Byte by byte, so the order on the bus does not depend on this machine's.
            const QRgb pixel = line[x];
            pixmap.argb.append(static_cast<char>(qAlpha(pixel)));
            pixmap.argb.append(static_cast<char>(qRed(pixel)));
            pixmap.argb.append(static_cast<char>(qGreen(pixel)));
            pixmap.argb.append(static_cast<char>(qBlue(pixel)));
        }
    }
    return pixmap;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip) {
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip) {
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return argument;
}

void registerStatusNotifierTypes() {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<QList<SniPixmap>>();
    qDBusRegisterMetaType<SniToolTip>();
}

}  // namespace vantu::platform
