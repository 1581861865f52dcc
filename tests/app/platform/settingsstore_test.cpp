#include "platform/settingsstore.h"
#include "support/temptree.h"

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
    const QtSettingsStore file(configHome + u"/zelvora/zelvora-auditor.conf"_s);
    EXPECT_EQ(file.stringForKey(u"ZelvoraDirPath"_s), std::optional<QString>(u"/shared/with/the/cli"_s));
}

} // namespace
} // namespace zelvora::test
