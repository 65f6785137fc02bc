#include "rules/discovery_settings.h"

#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

DiscoverySettings make(bool automatic, const QString& included, const QString& excluded) {
    auto result = DiscoverySettings::create(automatic, included, excluded);
    if (auto* error = std::get_if<PortRules::ValidationError>(&result)) {
        ADD_FAILURE() << error->errorDescription().toStdString();
        return DiscoverySettings::defaults();
    }
    return std::get<DiscoverySettings>(result);
}

PortRules rules(const QString& text) {
    return std::get<PortRules>(PortRules::parse(text));
}

// Each test gets a settings file of its own in a fresh folder; a new store on the same file
// stands for the next run of the app.
class DiscoverySettingsStoreTest : public ::testing::Test {
protected:
    QString path() const { return folder_.filePath(u"config/vantu/vantu.json"_s); }
    std::unique_ptr<platform::SettingsStore> open() const { return std::make_unique<platform::SettingsStore>(path()); }
    void writeFile(const QByteArray& bytes) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QTemporaryDir folder_;
};

TEST(DiscoverySettingsTest, DefaultsDetectAutomaticallyWithoutRules) {
    const DiscoverySettings defaults = DiscoverySettings::defaults();
    EXPECT_TRUE(defaults.automatic());
    EXPECT_TRUE(defaults.includedText().isEmpty());
    EXPECT_TRUE(defaults.excludedText().isEmpty());
    EXPECT_TRUE(defaults.included().ranges().isEmpty());
    EXPECT_TRUE(defaults.excluded().ranges().isEmpty());
    EXPECT_EQ(make(true, QString(), QString()), defaults);
}

TEST(DiscoverySettingsTest, TextsAreKeptAsTypedBesideTheirRules) {
    const DiscoverySettings settings = make(false, u" 3000 "_s, u"9229,\n"_s);
    EXPECT_FALSE(settings.automatic());
    EXPECT_EQ(settings.includedText(), u" 3000 "_s);
    EXPECT_EQ(settings.excludedText(), u"9229,\n"_s);
    EXPECT_EQ(settings.included(), rules(u"3000"_s));
    EXPECT_EQ(settings.excluded(), rules(u"9229"_s));
}

TEST(DiscoverySettingsTest, CreationReportsTheIncludedErrorFirst) {
    struct Case {
        QString included;
        QString excluded;
        QString token;
    };
    for (const Case& c :
         {Case{u"0"_s, u"abc"_s, u"0"_s}, Case{u"80"_s, u"abc 0"_s, u"abc"_s}, Case{u"80 10-5"_s, u""_s, u"10-5"_s}}) {
        const auto result = DiscoverySettings::create(true, c.included, c.excluded);
        ASSERT_TRUE(std::holds_alternative<PortRules::ValidationError>(result)) << c.included.toStdString();
        EXPECT_EQ(std::get<PortRules::ValidationError>(result).token(), c.token);
    }
}

TEST(DiscoverySettingsTest, EqualityLooksAtEveryField) {
    const DiscoverySettings base = make(true, u"3000"_s, u"9229"_s);
    EXPECT_EQ(base, make(true, u"3000"_s, u"9229"_s));
    EXPECT_NE(base, make(false, u"3000"_s, u"9229"_s));
    // Same rules, different texts: still different settings.
    EXPECT_NE(base, make(true, u"3000 "_s, u"9229"_s));
    EXPECT_NE(base, make(true, u"3000"_s, u"09229"_s));
    DiscoverySettings toggled = base;
    toggled.setAutomatic(false);
    EXPECT_EQ(toggled, make(false, u"3000"_s, u"9229"_s));
}

TEST_F(DiscoverySettingsStoreTest, EmptyStoreLoadsDefaults) {
    EXPECT_EQ(DiscoverySettings::load(*open()), DiscoverySettings::defaults());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(DiscoverySettingsStoreTest, SaveThenLoadInANewStoreGivesEqualSettings) {
    const DiscoverySettings saved = make(false, u" 3000-3005 "_s, u"\u00A09229,8080\n"_s);
    saved.save(*open());
    const DiscoverySettings loaded = DiscoverySettings::load(*open());
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(loaded.includedText(), u" 3000-3005 "_s);
}

TEST_F(DiscoverySettingsStoreTest, SaveWritesTheThreeKeysWithTheirTypes) {
    make(false, u"3000"_s, QString()).save(*open());
    const auto store = open();
    EXPECT_EQ(store->value(DiscoverySettings::kAutomaticKey), QVariant(false));
    EXPECT_EQ(store->value(DiscoverySettings::kAutomaticKey).typeId(), QMetaType::Bool);
    EXPECT_EQ(store->value(DiscoverySettings::kIncludedKey), QVariant(u"3000"_s));
    // An empty text is written, not left out.
    EXPECT_EQ(store->value(DiscoverySettings::kExcludedKey).typeId(), QMetaType::QString);
    EXPECT_EQ(store->value(DiscoverySettings::kExcludedKey).toString(), QString());
}

TEST_F(DiscoverySettingsStoreTest, StoredTextsAndAFalseFlagLoadAsSuch) {
    {
        const auto store = open();
        store->setValue(DiscoverySettings::kAutomaticKey, false);
        store->setValue(DiscoverySettings::kIncludedKey, u"3000-3005"_s);
        store->setValue(DiscoverySettings::kExcludedKey, u"9229"_s);
    }
    EXPECT_EQ(DiscoverySettings::load(*open()), make(false, u"3000-3005"_s, u"9229"_s));
}

TEST_F(DiscoverySettingsStoreTest, AFlagThatIsNotABooleanReadsAsTrue) {
    for (const QVariant& flag : {QVariant(u"false"_s), QVariant(0.0), QVariant(QVariantMap{{u"a"_s, false}})}) {
        open()->setValue(DiscoverySettings::kAutomaticKey, flag);
        open()->setValue(DiscoverySettings::kIncludedKey, u"3000"_s);
        EXPECT_EQ(DiscoverySettings::load(*open()), make(true, u"3000"_s, QString())) << flag.typeName();
    }
}

TEST_F(DiscoverySettingsStoreTest, TextsOfAnotherTypeReadAsEmpty) {
    const auto store = open();
    store->setValue(DiscoverySettings::kAutomaticKey, false);
    store->setValue(DiscoverySettings::kIncludedKey, 3000);
    store->setValue(DiscoverySettings::kExcludedKey, QVariantList{u"9229"_s});
    EXPECT_EQ(DiscoverySettings::load(*open()), make(false, QString(), QString()));
}

TEST_F(DiscoverySettingsStoreTest, AnInvalidStoredTextGivesDefaultsAsAWhole) {
    for (const auto& [included, excluded] : {std::pair{u"0"_s, u"9229"_s}, std::pair{u"3000"_s, u"65536"_s}}) {
        const auto store = open();
        store->setValue(DiscoverySettings::kAutomaticKey, false);
        store->setValue(DiscoverySettings::kIncludedKey, included);
        store->setValue(DiscoverySettings::kExcludedKey, excluded);
        EXPECT_EQ(DiscoverySettings::load(*open()), DiscoverySettings::defaults()) << included.toStdString();
    }
}

TEST_F(DiscoverySettingsStoreTest, ACorruptFileLoadsDefaults) {
    for (const QByteArray& bytes : {QByteArray("{\"discovery.automatic\": fal"), QByteArray("\xff\xfe\x00garbage", 10),
                                    QByteArray("[false]"), QByteArray("null")}) {
        writeFile(bytes);
        EXPECT_EQ(DiscoverySettings::load(*open()), DiscoverySettings::defaults()) << bytes.toStdString();
    }
}

TEST_F(DiscoverySettingsStoreTest, AHandWrittenFileIsRead) {
    writeFile(R"({"discovery.automatic": false, "discovery.included": "5173 8000-8010", "other": [1, {"a": null}]})");
    EXPECT_EQ(DiscoverySettings::load(*open()), make(false, u"5173 8000-8010"_s, QString()));
}

}  // namespace
}  // namespace vantu
