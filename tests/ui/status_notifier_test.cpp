#include "platform/tray/dbus_menu_exporter.h"
#include "platform/tray/status_notifier_wire.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

using platform::DBusMenuExporter;
using platform::DBusMenuItemProperties;
using platform::DBusMenuLayoutItem;
using platform::SniPixmap;

// Hosts read the pixels as bytes A, R, G, B whatever this machine's byte order, and not
// premultiplied.
TEST(StatusNotifierWireTest, IconPixelsGoOutAsNetworkOrderArgb) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0x11, 0x22, 0x33, 0x80));
    image.setPixel(1, 0, qRgba(0xf2, 0xf4, 0xf8, 0xff));
    const SniPixmap pixmap = SniPixmap::fromImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(pixmap.width, 2);
    EXPECT_EQ(pixmap.height, 1);
    const QByteArray expected("\x80\x11\x22\x33\xff\xf2\xf4\xf8", 8);
    ASSERT_EQ(pixmap.argb.size(), 8);
    // Unpremultiplying a half-transparent pixel may be off by one in a channel.
    for (qsizetype i = 0; i < 8; ++i) {
        EXPECT_NEAR(static_cast<uchar>(pixmap.argb[i]), static_cast<uchar>(expected[i]), 1) << "byte " << i;
    }
}

class DBusMenuExporterTest : public ::testing::Test {
protected:
    DBusMenuExporterTest() {
        open.setText(u"Open"_s);
        separator.setSeparator(true);
        quit.setText(u"Quit"_s);
        quit.setEnabled(false);
        menu.addActions({&open, &separator, &quit});
    }
    QAction open;
    QAction separator;
    QAction quit;
    QMenu menu;
    DBusMenuExporter exporter{menu, [](const QObject& m) { return static_cast<const QMenu&>(m).actions(); }};
};

TEST_F(DBusMenuExporterTest, MnemonicsBecomeTheProtocolsUnderscores) {
    const struct {
        QString text;
        QString label;
    } cases[] = {
        {u"&Open"_s, u"_Open"_s},
        {u"Save && Quit"_s, u"Save & Quit"_s},
        {u"snake_case"_s, u"snake__case"_s},
        {u"Discovery Settings\u2026"_s, u"Discovery Settings\u2026"_s},
    };
    for (const auto& [text, label] : cases) {
        EXPECT_EQ(DBusMenuExporter::protocolLabel(text), label) << text.toStdString();
    }
}

TEST_F(DBusMenuExporterTest, TheLayoutHoldsEachActionUnderTheRoot) {
    const std::optional<DBusMenuLayoutItem> root = exporter.layout(0, -1, {});
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->properties.value(u"children-display"_s), u"submenu"_s);
    ASSERT_EQ(root->children.size(), 3);
    EXPECT_EQ(root->children[0].id, 1);
    EXPECT_EQ(root->children[0].properties.value(u"label"_s), u"Open"_s);
    EXPECT_EQ(root->children[1].properties.value(u"type"_s), u"separator"_s);
    EXPECT_EQ(root->children[2].properties.value(u"enabled"_s), false);

    // Only the properties asked for; no children below the depth asked for; none for an unknown id.
    const auto labels = exporter.layout(0, -1, {u"label"_s});
    ASSERT_TRUE(labels.has_value());
    EXPECT_EQ(labels->children[0].properties.keys(), QStringList{u"label"_s});
    EXPECT_TRUE(exporter.layout(0, 0, {})->children.isEmpty());
    EXPECT_EQ(exporter.layout(1, -1, {})->properties.value(u"label"_s), u"Open"_s);
    EXPECT_FALSE(exporter.layout(4, -1, {}).has_value());
}

TEST_F(DBusMenuExporterTest, AClickTriggersTheActionAfterTheCallIsAnswered) {
    QSignalSpy opened(&open, &QAction::triggered);
    QSignalSpy quitted(&quit, &QAction::triggered);
    exporter.Event(1, u"clicked"_s, QDBusVariant(QString()), 0);
    EXPECT_EQ(opened.count(), 0) << "not while the host still waits for the reply";
    EXPECT_TRUE(waitUntil([&] { return opened.count() == 1; }));
    // A hover is no click, a disabled entry does nothing, an unknown id is reported back.
    EXPECT_EQ(exporter.EventGroup({{1, u"hovered"_s, QDBusVariant(QString()), 0},
                                   {3, u"clicked"_s, QDBusVariant(QString()), 0},
                                   {9, u"clicked"_s, QDBusVariant(QString()), 0}}),
              QList<int>{9});
    processEvents();
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(quitted.count(), 0);
}

TEST_F(DBusMenuExporterTest, AChangedActionIsAnnouncedWithItsNewProperties) {
    QSignalSpy updated(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
    quit.setEnabled(true);
    ASSERT_EQ(updated.count(), 1);
    const auto items = updated.at(0).at(0).value<QList<DBusMenuItemProperties>>();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].id, 3);
    EXPECT_EQ(items[0].properties.value(u"enabled"_s), true);
}

}  // namespace
}  // namespace vantu::test
