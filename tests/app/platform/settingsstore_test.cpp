#include "audit/files/storedsettings.h"
#include "platform/settingsstore.h"
#include "support/temptree.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

TEST(QtSettingsStoreTest, KeepsTextsCharacterForCharacterAcrossRuns)
{
    TempTree dir;
    const QString file = dir.filePath(u"zelvora-auditor.conf"_s);
    const QString texts[] = {u""_s,
                             u"/media/Jogos Árcade/zelvora/"_s,
                             u"C:\\Games\\Zelvora"_s,
                             u"/a, b; c = d/\"quoted\" #1"_s,
                             u"  leading and trailing  "_s,
                             u"日本語/ゲーム"_s};
    for (const QString &text : texts) {
        {
            QtSettingsStore store(file);
            store.setString(u"ZelvoraDirPath"_s, text);
            store.synchronize();
        }
        const QtSettingsStore next(file);
        EXPECT_EQ(next.stringForKey(u"ZelvoraDirPath"_s), std::optional<QString>(text)) << text.toStdString();
    }
}

TEST(QtSettingsStoreTest, AbsentOrNonTextValuesReadAsNothing)
{
    TempTree dir;
    dir.file(u"edited.conf"_s, "[General]\nZelvoraRomsListPath=one, two\n");
    const QtSettingsStore store(dir.filePath(u"edited.conf"_s));
    EXPECT_EQ(store.stringForKey(u"ZelvoraDirPath"_s), std::nullopt);
    EXPECT_EQ(store.stringForKey(u"ZelvoraRomsListPath"_s), std::nullopt);
}

// The window reads the settings through its store, the command line with readStoredPaths: both must
// take the same values as paths, and leave the same ones out.
TEST(QtSettingsStoreTest, TheWindowAndTheCommandLineTakeTheSameValuesAsPaths)
{
    const struct
    {
        const char *name;
        std::optional<QByteArray> value; // as the file holds it, for both keys
        std::optional<QString> path;
    } cases[] = {
        {"plain text", "/media/Jogos \xc3\x81rcade/zelvora", u"/media/Jogos Árcade/zelvora"_s},
        {"empty text", "", u""_s},
        {"a byte array", "@ByteArray(/zelvora)", u"/zelvora"_s},
        {"a byte array that is not UTF-8", "@ByteArray(\\xff\\xfe)", u"\uFFFD\uFFFD"_s},
        {"a bare number", "42", u"42"_s},
        {"a serialised number", "@Variant(\\0\\0\\0\\x2\\0\\0\\0*)", std::nullopt},
        {"a list", "/a, /b", std::nullopt},
        {"absent", std::nullopt, std::nullopt},
    };
    TempTree dir;
    int number = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // A file of its own for each case: a process keeps what it once read of a settings file.
        const QString file = dir.filePath(u"case-%1.conf"_s.arg(++number));
        QByteArray content = "[General]\nOther=1\n";
        if (c.value)
            content += "ZelvoraDirPath=" + *c.value + "\nZelvoraRomsListPath=" + *c.value + '\n';
        dir.file(QFileInfo(file).fileName(), content);
        const QtSettingsStore window(file);
        const StoredPaths commandLine = readStoredPaths(file);
        EXPECT_EQ(window.stringForKey(u"ZelvoraDirPath"_s), c.path);
        EXPECT_EQ(window.stringForKey(u"ZelvoraRomsListPath"_s), c.path);
        EXPECT_EQ(commandLine.zelvoraDir, c.path);
        EXPECT_EQ(commandLine.romsListPath, c.path);
    }
}

TEST(QtSettingsStoreTest, TheUsersStoreIsTheOneTheCommandLineReads)
{
    // The test environment points XDG_CONFIG_HOME at a folder of its own, never the user's.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(configHome.isEmpty());
    {
        QtSettingsStore store;
        store.setString(u"ZelvoraDirPath"_s, u"/shared/with/the/cli"_s);
        store.synchronize();
    }
    // The command-line auditor takes its defaults from this same file.
    EXPECT_EQ(userSettingsFile(), configHome + u"/zelvora/zelvora-auditor.conf"_s);
    EXPECT_EQ(readStoredPaths(userSettingsFile()).zelvoraDir, std::optional<QString>(u"/shared/with/the/cli"_s));
}

} // namespace
} // namespace zelvora::test
