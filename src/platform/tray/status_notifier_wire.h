#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

namespace vantu::platform {

// One image of a StatusNotifierItem icon as the bus carries it (a(iiay) member): ARGB32 pixels,
// each in network byte order, row after row.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;

    static SniPixmap fromImage(const QImage& image);
};

// The item's tooltip ((sa(iiay)ss)): an icon by name or by images, a title and a text.
struct SniToolTip {
    QString iconName;
    QList<SniPixmap> pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

// Makes the types above known to the bus; needed before an object using them is exported.
void registerStatusNotifierTypes();

}  // namespace vantu::platform

Q_DECLARE_METATYPE(vantu::platform::SniPixmap)
Q_DECLARE_METATYPE(vantu::platform::SniToolTip)
