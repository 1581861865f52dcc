#include "apptestfixture.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

const QString kDirKey = u"ZelvoraDirPath"_s;
const QString kListKey = u"ZelvoraRomsListPath"_s;

class SettingsTest : public AppTest
{
protected:
    void SetUp() override
    {
        ui().zelvoraDirPathTextField->setText(u"initial dir"_s);
        ui().romsListPathTextField->setText(u"initial list"_s);
    }
};

TEST_F(SettingsTest, LaunchRestoresWhatTheStoreHolds)
{
    const struct
    {
        const char *name;
        std::optional<QString> storedDir;
        std::optional<QString> storedList;
        QString dirAfter;
        QString listAfter;
    } cases[] = {
        {"first run", std::nullopt, std::nullopt, u"initial dir"_s, u"initial list"_s},
        {"only the directory", u"/zelvora"_s, std::nullopt, u"/zelvora"_s, u"initial list"_s},
        {"empty texts", u""_s, u""_s, u""_s, u""_s},
        {"spaces, non-ASCII and a trailing separator", u"/media/Jogos Árcade/zelvora/"_s,
         u"/media/Jogos Árcade/zelvora/- Supported Games Lookup For Naming.txt"_s, u"/media/Jogos Árcade/zelvora/"_s,
         u"/media/Jogos Árcade/zelvora/- Supported Games Lookup For Naming.txt"_s},
        {"a path that no longer exists", u"/gone/away"_s, u"/gone/list"_s, u"/gone/away"_s, u"/gone/list"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        settings.values.clear();
        if (c.storedDir)
            settings.values.insert(kDirKey, *c.storedDir);
        if (c.storedList)
            settings.values.insert(kListKey, *c.storedList);
        ui().zelvoraDirPathTextField->setText(u"initial dir"_s);
        ui().romsListPathTextField->setText(u"initial list"_s);

        controller.applicationDidFinishLaunching();

        EXPECT_EQ(ui().zelvoraDirPathTextField->text(), c.dirAfter);
        EXPECT_EQ(ui().romsListPathTextField->text(), c.listAfter);
        EXPECT_TRUE(settings.writes.isEmpty()) << "restoring writes nothing back";
    }
}

TEST_F(SettingsTest, TerminationStoresBothFieldsThenSynchronizes)
{
    controller.applicationDidFinishLaunching();
    ui().zelvoraDirPathTextField->setText(u""_s);
    ui().romsListPathTextField->setText(u"/média/lista, nova.txt"_s);

    controller.applicationWillTerminate();

    EXPECT_EQ(settings.writes, (QStringList{kDirKey, kListKey, u"<synchronize>"_s}));
    EXPECT_EQ(settings.stringForKey(kDirKey), std::optional<QString>(u""_s)) << "empty, not absent";
    EXPECT_EQ(settings.stringForKey(kListKey), std::optional<QString>(u"/média/lista, nova.txt"_s));
}

TEST_F(SettingsTest, LaunchThenTerminateWritesBackWhatWasRestored)
{
    settings.values.insert(kDirKey, u"/restored"_s);
    controller.applicationDidFinishLaunching();
    controller.applicationWillTerminate();
    EXPECT_EQ(settings.values.value(kDirKey), u"/restored"_s);
    EXPECT_EQ(settings.values.value(kListKey), u"initial list"_s);
}

} // namespace
} // namespace zelvora::test
