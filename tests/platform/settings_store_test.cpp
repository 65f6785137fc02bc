#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

const QString kFolders = u"discovery.projectFolders"_s;

class SettingsStoreTest : public ::testing::Test {
protected:
    QString path() const { return folder_.filePath(u"nested/vantu/vantu.json"_s); }
    std::unique_ptr<SettingsStore> open() const { return std::make_unique<SettingsStore>(path()); }

    void writeFile(const QByteArray& bytes) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray readFile(const QString& filePath) {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QJsonObject fileObject() const { return QJsonDocument::fromJson(readFile(path())).object(); }

    QTemporaryDir folder_;
};

TEST_F(SettingsStoreTest, MissingKeysAreMissing) {
    const auto store = open();
    EXPECT_FALSE(store->value(u"discovery.automatic"_s).isValid());
    store->setValue(u"discovery.included"_s, u"3000"_s);
    EXPECT_FALSE(store->value(u"discovery.automatic"_s).isValid());
    EXPECT_FALSE(open()->value(u"discovery.automatic"_s).isValid());
}

TEST_F(SettingsStoreTest, ValuesKeepTheirTypesAcrossRuns) {
    const QVariantMap folders{{u"a"_s, u"/x"_s}};
    {
        const auto store = open();
        store->setValue(u"flag"_s, false);
        store->setValue(u"text"_s, u" 80 "_s);
        store->setValue(u"empty"_s, QString());
        store->setValue(u"numericText"_s, u"3000"_s);
        store->setValue(u"trueText"_s, u"true"_s);
        store->setValue(u"map"_s, folders);
        store->setValue(u"emptyMap"_s, QVariantMap());
        // Visible at once through the same store.
        EXPECT_EQ(store->value(u"flag"_s).typeId(), QMetaType::Bool);
    }
    const auto store = open();
    EXPECT_EQ(store->value(u"flag"_s).typeId(), QMetaType::Bool);
    EXPECT_FALSE(store->value(u"flag"_s).toBool());
    EXPECT_EQ(store->value(u"text"_s), QVariant(u" 80 "_s));
    EXPECT_EQ(store->value(u"empty"_s).typeId(), QMetaType::QString);
    EXPECT_EQ(store->value(u"numericText"_s).typeId(), QMetaType::QString);
    EXPECT_EQ(store->value(u"trueText"_s).typeId(), QMetaType::QString);
    EXPECT_EQ(store->value(u"map"_s).typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(store->value(u"map"_s).toMap(), folders);
    EXPECT_EQ(store->value(u"emptyMap"_s).typeId(), QMetaType::QVariantMap);
    EXPECT_TRUE(store->value(u"emptyMap"_s).toMap().isEmpty());
}

TEST_F(SettingsStoreTest, MapKeysWithUnitSeparatorsAndSlashesSurvive) {
    const QString key = QStringLiteral(
        "node\x1F/home/a/site//web/\x1F"
        "5173");
    const QString other = u"/leading/and/trailing/"_s;
    const QVariantMap folders{{key, u"/home/a/site"_s}, {other, u"/x/\u00E9t\u00E9"_s}};
    open()->setValue(kFolders, folders);
    EXPECT_EQ(open()->value(kFolders).toMap(), folders);
    // The file holds one object under the plain key, with the map's keys verbatim.
    const QJsonObject stored = fileObject().value(kFolders).toObject();
    EXPECT_EQ(stored.size(), 2);
    EXPECT_TRUE(stored.contains(key));
    EXPECT_TRUE(stored.contains(other));
}

TEST_F(SettingsStoreTest, NonTextValuesInAMapAreTellable) {
    writeFile(R"({"discovery.projectFolders": {"a": "/x", "b": 5, "c": true, "d": null, "e": {"f": "/y"}}})");
    const QVariantMap map = open()->value(kFolders).toMap();
    ASSERT_EQ(map.size(), 5);
    EXPECT_EQ(map.value(u"a"_s).typeId(), QMetaType::QString);
    for (const QString& key : {u"b"_s, u"c"_s, u"d"_s, u"e"_s}) {
        EXPECT_NE(map.value(key).typeId(), QMetaType::QString) << key.toStdString();
    }
}

TEST_F(SettingsStoreTest, WritesGoToDiskAtOnceByReplacingTheFile) {
    const auto store = open();
    store->setValue(u"discovery.automatic"_s, false);
    EXPECT_EQ(fileObject().value(u"discovery.automatic"_s), QJsonValue(false));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    store->setValue(u"discovery.included"_s, u"3000"_s);
    EXPECT_EQ(fileObject().value(u"discovery.included"_s), QJsonValue(u"3000"_s));
    // A new file renamed over the old one: a reader never sees a half-written file.
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    // No lock or temporary file is left behind.
    EXPECT_EQ(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"vantu.json"_s});
}

TEST_F(SettingsStoreTest, AnInvalidValueRemovesTheKey) {
    const auto store = open();
    store->setValue(u"a"_s, u"1"_s);
    store->setValue(u"b"_s, u"2"_s);
    store->setValue(u"a"_s, QVariant());
    EXPECT_FALSE(store->value(u"a"_s).isValid());
    EXPECT_FALSE(open()->value(u"a"_s).isValid());
    EXPECT_EQ(fileObject().keys(), QStringList{u"b"_s});
}

TEST_F(SettingsStoreTest, TwoStoresOnOneFileKeepEachOthersKeys) {
    const auto first = open();
    const auto second = open();
    first->setValue(u"a"_s, u"1"_s);
    second->setValue(u"b"_s, u"2"_s);
    const auto third = open();
    EXPECT_EQ(third->value(u"a"_s), QVariant(u"1"_s));
    EXPECT_EQ(third->value(u"b"_s), QVariant(u"2"_s));
}

TEST_F(SettingsStoreTest, ADamagedFileReadsAsEmptyIsLeftAloneAndSaysSo) {
    EXPECT_EQ(open()->readProblem(), std::nullopt) << "no file is no problem";
    const QByteArray damaged("{\"discovery.automatic\": false,\n\n\"discovery.included\": \"30");
    writeFile(damaged);
    {
        const auto store = open();
        EXPECT_FALSE(store->value(u"discovery.automatic"_s).isValid());
        EXPECT_FALSE(store->value(u"discovery.included"_s).isValid());
        EXPECT_EQ(store->readProblem(),
                  u"Couldn’t read the settings (line 3); using the defaults. The file will be "
                  "kept as vantu.json.damaged."_s);
    }
    EXPECT_EQ(readFile(path()), damaged);
    EXPECT_FALSE(QFile::exists(path() + u".damaged"_s));
}

TEST_F(SettingsStoreTest, TheFirstWriteKeepsACopyOfADamagedFile) {
    for (const QByteArray& damaged :
         {QByteArray("{\"a\": "), QByteArray("[1, 2]"), QByteArray("\"text\""), QByteArray("\x00\x01\x02", 3)}) {
        writeFile(damaged);
        const auto store = open();
        store->setValue(u"discovery.automatic"_s, true);
        EXPECT_EQ(readFile(path() + u".damaged"_s), damaged);
        EXPECT_EQ(fileObject().value(u"discovery.automatic"_s), QJsonValue(true));
        // The next write has a sound file to replace and keeps the copy as it was.
        store->setValue(u"discovery.included"_s, u"80"_s);
        EXPECT_EQ(readFile(path() + u".damaged"_s), damaged);
        EXPECT_EQ(open()->value(u"discovery.automatic"_s), QVariant(true));
        QFile::remove(path() + u".damaged"_s);
    }
}

TEST_F(SettingsStoreTest, EarlierDamagedCopiesAreKeptNewestFirstUpToFive) {
    const auto damaged = [](int n) -> QByteArray { return "{\"damaged\": " + QByteArray::number(n); };
    const auto copy = [&](int age) { return readFile(path() + u".damaged"_s + (age ? u".%1"_s.arg(age) : QString())); };
    for (int n = 1; n <= 7; ++n) {
        writeFile(damaged(n));
        ASSERT_EQ(open()->setValue(u"a"_s, n), std::nullopt);
        EXPECT_EQ(copy(0), damaged(n));
        EXPECT_EQ(copy(1), n > 1 ? damaged(n - 1) : QByteArray()) << "the earlier copy survives";
    }
    EXPECT_EQ(copy(4), damaged(3));
    EXPECT_FALSE(QFile::exists(path() + u".damaged.5"_s)) << "the oldest are dropped";
    // A copy that cannot be kept fails the save, and the damaged file stays where it is.
    ASSERT_TRUE(QFile::remove(path() + u".damaged.4"_s) && QDir().mkpath(path() + u".damaged.4/in-the-way"_s));
    writeFile(damaged(8));
    EXPECT_EQ(open()->setValue(u"a"_s, 8), u"Couldn\u2019t save settings: Is a directory."_s);
    EXPECT_EQ(readFile(path()), damaged(8));
    EXPECT_EQ(copy(0), damaged(7));
}

TEST_F(SettingsStoreTest, AFileDamagedWhileOpenIsKeptBeforeTheNextWrite) {
    const auto store = open();
    store->setValue(u"a"_s, u"1"_s);
    const QByteArray damaged("{\"a\": \"1\", \"b\": ");
    writeFile(damaged);
    store->setValue(u"c"_s, u"3"_s);
    EXPECT_EQ(readFile(path() + u".damaged"_s), damaged);
    EXPECT_EQ(open()->value(u"c"_s), QVariant(u"3"_s));
}

TEST_F(SettingsStoreTest, AFifoInPlaceOfTheFileNeverBlocksAndIsKeptAsideOnlyBySaving) {
    for (const bool throughLink : {false, true}) {
        SCOPED_TRACE(throughLink ? "a link to a FIFO" : "a FIFO");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
        const QString fifo = throughLink ? folder_.filePath(u"elsewhere.fifo"_s) : path();
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (throughLink) {
            ASSERT_TRUE(QFile::link(fifo, path()));
        }
        {
            const auto store = open();
            EXPECT_FALSE(store->value(u"discovery.automatic"_s).isValid());
        }
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "left in place untouched";

        EXPECT_EQ(open()->setValue(u"discovery.automatic"_s, false), std::nullopt);
        EXPECT_EQ(open()->value(u"discovery.automatic"_s), QVariant(false));
        EXPECT_TRUE(QFileInfo(path() + u".damaged"_s).exists() || QFileInfo(path() + u".damaged"_s).isSymLink());
        QFile::remove(path());
        QFile::remove(path() + u".damaged"_s);
        QFile::remove(fifo);
    }
}

TEST_F(SettingsStoreTest, MapEntriesSavedByTwoInstancesAndByHandAreAllKept) {
    const auto first = open();
    const auto second = open();
    EXPECT_EQ(first->setTextMapEntry(kFolders, u"a"_s, u"/one"_s), std::nullopt);
    EXPECT_EQ(second->setTextMapEntry(kFolders, u"b"_s, u"/two"_s), std::nullopt);
    // A hand edit, then a removal by the first instance, which never saw entry b.
    QJsonObject edited = fileObject();
    QJsonObject folders = edited.value(kFolders).toObject();
    folders.insert(u"c"_s, u"/three"_s);
    edited.insert(kFolders, folders);
    writeFile(QJsonDocument(edited).toJson());
    EXPECT_EQ(first->setTextMapEntry(kFolders, u"a"_s, std::nullopt), std::nullopt);

    const QVariantMap expected{{u"b"_s, u"/two"_s}, {u"c"_s, u"/three"_s}};
    EXPECT_EQ(open()->value(kFolders).toMap(), expected);
    EXPECT_EQ(first->value(kFolders).toMap(), expected) << "a save also brings in what others wrote";
}

TEST_F(SettingsStoreTest, ASaveThatIsRefusedSaysWhy) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the refusal is staged as another user, which needs root";
    }
    // A folder only root may write to, and a save attempted by nobody.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0755);
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(1);
        }
        const QByteArray message = SettingsStore(path()).setValue(u"a"_s, u"1"_s).value_or(u"saved"_s).toUtf8();
        const bool written = ::write(answer[1], message.constData(), static_cast<size_t>(message.size())) ==
                             static_cast<ssize_t>(message.size());
        ::_exit(written ? 0 : 2);
    }
    ::close(answer[1]);
    char buffer[256] = {};
    const ssize_t n = ::read(answer[0], buffer, sizeof buffer - 1);
    ::close(answer[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_GT(n, 0);
    EXPECT_EQ(QString::fromUtf8(buffer, n), u"Couldn\u2019t save settings: Permission denied."_s);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsStoreTest, AnEmptyFileIsAnEmptyStore) {
    writeFile(QByteArray());
    const auto store = open();
    EXPECT_FALSE(store->value(u"a"_s).isValid());
    store->setValue(u"a"_s, u"1"_s);
    EXPECT_FALSE(QFile::exists(path() + u".damaged"_s));
    EXPECT_EQ(open()->value(u"a"_s), QVariant(u"1"_s));
}

TEST(SettingsStandardPathTest, FollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_CONFIG_HOME", "/tmp/somewhere/config", 1);
    EXPECT_EQ(SettingsStore::standardPath(), u"/tmp/somewhere/config/vantu/vantu.json"_s);
    // A relative or empty value is ignored in favour of ~/.config.
    for (const char* value : {"relative/config", ""}) {
        ::setenv("XDG_CONFIG_HOME", value, 1);
        EXPECT_EQ(SettingsStore::standardPath(), QDir::homePath() + u"/.config/vantu/vantu.json"_s) << value;
    }
    ::setenv("XDG_CONFIG_HOME", saved.constData(), 1);
}

TEST(SettingsStandardPathTest, TheStandardStoreLivesInTheTestsPrivateFolder) {
    // The shared test main points XDG_CONFIG_HOME at a fresh folder, so this never touches the
    // user's real settings.
    SettingsStore store(SettingsStore::standardPath());
    EXPECT_FALSE(store.value(u"discovery.automatic"_s).isValid());
    store.setValue(u"discovery.automatic"_s, false);
    EXPECT_TRUE(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/vantu/vantu.json"_s));
    EXPECT_EQ(store.filePath(), SettingsStore::standardPath());
}

}  // namespace
}  // namespace vantu::platform
