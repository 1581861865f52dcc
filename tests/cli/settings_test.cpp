// The saved paths as the command finds them in a settings file it did not write: corrupt, unreadable,
// holding values that are not text, or not a small regular file. A value the store cannot give as text
// is no saved path: the command then needs -d, and with -d it runs as usual.
#include "clitestsupport.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

constexpr char kNoDirectory[] = "Error: no Zelvora directory: give one with -d";

class Settings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        makeSampleZelvora(tree);
        ASSERT_TRUE(QDir().mkpath(config.filePath(u"zelvora"_s)));
    }

    QString settingsFile() const { return config.filePath(u"zelvora/zelvora-auditor.conf"_s); }

    void writeSettings(const QByteArray &content) const { config.file(u"zelvora/zelvora-auditor.conf"_s, content); }

    // Without -d the command must stop with a usage error; with -d it must audit that directory.
    void expectNoSavedDirectory(const std::function<void()> &childSetup = {})
    {
        const CliResult without = runCli({u"roms"_s}, config.path(), childSetup);
        EXPECT_EQ(without.exitCode, 2) << without.err.toStdString();
        EXPECT_TRUE(without.err.startsWith(kNoDirectory)) << without.err.toStdString();
        EXPECT_TRUE(without.out.isEmpty());

        const CliResult with = runCli({u"-f"_s, u"json"_s, u"-d"_s, tree.path(), u"roms"_s}, config.path(), childSetup);
        EXPECT_EQ(with.exitCode, 0) << with.err.toStdString();
        const QJsonObject json = QJsonDocument::fromJson(with.out).object();
        EXPECT_EQ(json.value(u"zelvoraDir"_s).toString(), tree.path());
        EXPECT_EQ(json.value(u"romsList"_s).toString(), tree.filePath(QString::fromUtf8(kRomsListName)));
    }

    TempTree config;
    TempTree tree;
};

TEST_F(Settings, CorruptOrNonTextValuesAreNoSavedDirectory)
{
    struct Case
    {
        const char *label;
        QByteArray content;
    };
    QByteArray garbage;
    for (int i = 0; i < 512; ++i)
        garbage.append(char((i * 151 + 7) % 256));
    const Case cases[] = {
        {"empty file", ""},
        {"bytes of no format", garbage},
        {"NUL bytes and a byte-order mark", QByteArray("\xFF\xFE\0[\0]=\0\n", 9)},
        {"key without value", "[General]\nZelvoraDirPath\n"},
        {"invalid value", "[General]\nZelvoraDirPath=@Invalid()\n"},
        {"list", "[General]\nZelvoraDirPath=/a, /b\n"},
        {"rectangle", "[General]\nZelvoraDirPath=@Rect(1 2 3 4)\n"},
        {"serialised integer", QByteArray("[General]\nZelvoraDirPath=@Variant(\\0\\0\\0\\x2\\0\\0\\0*)\n")},
        {"another section only", "[Other]\nZelvoraDirPath=/zelvora\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        writeSettings(c.content);
        expectNoSavedDirectory();
    }
}

// A list path that is not text is no saved list: the list is looked for below the saved directory.
TEST_F(Settings, NonTextListPathIsSearchedFor)
{
    for (const QByteArray &value : {QByteArray("@Invalid()"), QByteArray("1, 2")}) {
        SCOPED_TRACE(value.toStdString());
        writeSettings("[General]\nZelvoraDirPath=" + QFile::encodeName(tree.path()) + "\nZelvoraRomsListPath=" + value +
                      '\n');
        const CliResult result = runCli({u"-f"_s, u"json"_s, u"roms"_s}, config.path());
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        const QJsonObject json = QJsonDocument::fromJson(result.out).object();
        EXPECT_EQ(json.value(u"zelvoraDir"_s).toString(), tree.path());
        EXPECT_EQ(json.value(u"romsList"_s).toString(), tree.filePath(QString::fromUtf8(kRomsListName)));
    }
}

// A bare number is text to the store, so it is a (relative) path like any other.
TEST_F(Settings, NumberIsTextToTheStore)
{
    writeSettings("[General]\nZelvoraDirPath=42\n");
    const CliResult result = runCli({u"roms"_s}, config.path());
    EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
    EXPECT_TRUE(result.err.startsWith("Warning: the Zelvora directory \"42\" does not exist"))
        << result.err.toStdString();
}

// The command runs as an unprivileged user (CI runs as root), who may read the tree but not the
// settings file, or not even its folder.
TEST_F(Settings, UnreadableSettingsAreNoSavedDirectory)
{
    const auto asNobody = [] {
        if (!dropRoot())
            ::_exit(99);
    };
    writeSettings("[General]\nZelvoraDirPath=" + QFile::encodeName(tree.path()) + '\n');
    openToOthers(tree.path(), tree.path());
    openToOthers(config.path(), config.filePath(u"zelvora"_s));
    const QByteArray file = QFile::encodeName(settingsFile());
    const QByteArray folder = QFile::encodeName(config.filePath(u"zelvora"_s));

    ASSERT_EQ(::chmod(file.constData(), 0), 0);
    {
        SCOPED_TRACE("unreadable file");
        expectNoSavedDirectory(asNobody);
    }
    ASSERT_EQ(::chmod(file.constData(), 0644), 0);
    ASSERT_EQ(::chmod(folder.constData(), 0), 0);
    {
        SCOPED_TRACE("unreadable folder");
        expectNoSavedDirectory(asNobody);
    }
    ::chmod(folder.constData(), 0755);

    // The same file, readable: the saved directory is used (so the cases above were not vacuous).
    const CliResult readable = runCli({u"roms"_s}, config.path(), asNobody);
    EXPECT_EQ(readable.exitCode, 0) << readable.err.toStdString();
}

// Settings that could stall the command: FIFOs, which block a reader until something writes to them,
// in every place QSettings would look, and files too large to be what the window wrote. With -d the
// settings are not read at all; without it only the user's own file is, when it is a regular file of
// at most 64 KiB.
TEST_F(Settings, OnlyTheUsersOwnSmallRegularFileIsRead)
{
    const QString system = config.filePath(u"system"_s); // $XDG_CONFIG_DIRS
    const QByteArray saved = "[General]\nZelvoraDirPath=" + QFile::encodeName(tree.path()) + "\nPadding=";
    const auto fifo = [](const QString &path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0); };
    const auto padded = [&](qsizetype size) { writeSettings(saved + QByteArray(size - saved.size() - 1, 'x') + '\n'); };
    struct Case
    {
        const char *label;
        std::function<void()> setup;
        bool withDirectory;
        bool savedDirectoryUsed;
    };
    const Case cases[] = {
        {"the organisation's file is a FIFO, with -d", [&] { fifo(config.filePath(u"zelvora.conf"_s)); }, true, false},
        {"the user's file is a FIFO, with -d", [&] { fifo(settingsFile()); }, true, false},
        {"the user's file is a FIFO", [&] { fifo(settingsFile()); }, false, false},
        {"the user's file links to a FIFO",
         [&] {
             fifo(config.filePath(u"elsewhere"_s));
             config.symlink(config.filePath(u"elsewhere"_s), u"zelvora/zelvora-auditor.conf"_s);
         },
         false, false},
        {"FIFOs below $XDG_CONFIG_DIRS and as the organisation's file",
         [&] {
             writeSettings(saved + '\n');
             config.dir(u"system/zelvora"_s);
             fifo(system + u"/zelvora/zelvora-auditor.conf"_s);
             fifo(system + u"/zelvora.conf"_s);
             fifo(config.filePath(u"zelvora.conf"_s));
         },
         false, true},
        {"the user's file links to a regular file, as kept with dotfiles",
         [&] {
             config.file(u"dotfiles/zelvora-auditor.conf"_s, saved + '\n');
             config.symlink(config.filePath(u"dotfiles/zelvora-auditor.conf"_s), u"zelvora/zelvora-auditor.conf"_s);
         },
         false, true},
        {"exactly 64 KiB", [&] { padded(64 * 1024); }, false, true},
        {"one byte over 64 KiB", [&] { padded(64 * 1024 + 1); }, false, false},
        {"a sparse file of 1 GiB",
         [&] {
             writeSettings(saved + '\n');
             ASSERT_EQ(::truncate(QFile::encodeName(settingsFile()).constData(), 1 << 30), 0);
         },
         false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(QDir(config.path()).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(config.filePath(u"zelvora"_s)));
        c.setup();
        QStringList arguments{u"-f"_s, u"json"_s, u"roms"_s};
        if (c.withDirectory)
            arguments = QStringList{u"-d"_s, tree.path()} + arguments;
        const CliResult result = runCli(arguments, config.path(), {}, {u"XDG_CONFIG_DIRS="_s + system}, 10'000);
        if (c.withDirectory || c.savedDirectoryUsed) {
            EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
            EXPECT_EQ(QJsonDocument::fromJson(result.out).object().value(u"zelvoraDir"_s).toString(), tree.path());
        } else {
            EXPECT_EQ(result.exitCode, 2) << result.err.toStdString();
            EXPECT_TRUE(result.err.startsWith(kNoDirectory)) << result.err.toStdString();
        }
    }
}

} // namespace
} // namespace zelvora::test
