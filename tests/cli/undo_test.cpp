// The undo subcommand: its exit statuses, and what it says on each stream.

#include "clitestsupport.h"

#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

// A journal as a rename run writes it, for the files below `tree`'s folder "z".
QString writeJournal(const TempTree &tree, const QByteArray &records)
{
    const QByteArray text = "zelvora-auditor rename journal 1\ndirectory " +
                            QFile::encodeName(tree.filePath(u"z"_s)).replace(" ", "%20") + '\n' + records;
    tree.file(u"renames.journal"_s, text);
    return tree.filePath(u"renames.journal"_s);
}

TEST(Undo, ExitStatusesAndMessages)
{
    const struct
    {
        const char *what;
        QByteArray records; // nullptr: no journal is written
        QStringList extra;  // arguments after "undo" (the journal's path follows when there is one)
        int status;
        const char *out;
        const char *err;
        QStringList filesAfter; // files below "z" afterwards
        mode_t mode = 0;        // the journal's, when not as written
        bool otherOwner = false;
    } cases[] = {
        {"every file put back",
         "rename roms a.zip b.zip\nrenamed\nrename . c.zip d.zip\n",
         {},
         0,
         "Put back \"d.zip\" as \"c.zip\"\nPut back \"roms/b.zip\" as \"a.zip\"\nPut back 2 files in ",
         "",
         {u"roms/a.zip"_s, u"c.zip"_s}},
        {"a taken old name",
         "rename roms a.zip b.zip\nrenamed\nrename roms x.zip y.zip\nrenamed\n",
         {},
         4,
         "Put back \"roms/b.zip\" as \"a.zip\"\nPut back 1 of 2 files in ",
         "Error: \"roms/y.zip\" was not put back as \"x.zip\": its old name is taken\n",
         {u"roms/a.zip"_s, u"roms/x.zip"_s, u"roms/y.zip"_s}},
        {"a damaged journal",
         "rename roms a.zip\n",
         {},
         4,
         "",
         "the journal is damaged (line 3)",
         {u"roms/b.zip"_s, u"roms/x.zip"_s, u"roms/y.zip"_s, u"d.zip"_s}},
        {"lines ended by CR LF",
         "rename roms a.zip b.zip\r\nrenamed\r\n",
         {},
         0,
         "Put back \"roms/b.zip\" as \"a.zip\"\n",
         "",
         {u"roms/a.zip"_s}},
        {"a file replaced since its rename",
         "rename roms a.zip b.zip 1:2\nrenamed\n",
         {},
         4,
         "Put back 0 of 1 file in ",
         "replaced since",
         {u"roms/b.zip"_s}},
        {"a folder above the directory", "rename .. a.zip b.zip\nrenamed\n", {}, 4, "", "damaged (line 3)", {}},
        {"an absolute folder", "rename /tmp a.zip b.zip\nrenamed\n", {}, 4, "", "damaged (line 3)", {}},
        {"no line but NUL bytes after the head", QByteArray(4096, '\0'), {}, 4, "", "damaged (its end)", {}},
        {"a journal others may change",
         "rename roms a.zip b.zip\nrenamed\n",
         {},
         4,
         "",
         "writable by its group",
         {u"roms/b.zip"_s},
         0666},
        {"another user's journal",
         "rename roms a.zip b.zip\nrenamed\n",
         {},
         4,
         "",
         "belongs to another user",
         {u"roms/b.zip"_s},
         0,
         true},
        {"no journal", nullptr, {u"/nonexistent/renames.journal"_s}, 4, "", "No such file", {}},
        {"no argument", nullptr, {}, 2, "", "name the journal to undo", {}},
        {"two journals", nullptr, {u"a"_s, u"b"_s}, 2, "", "unexpected argument \"b\"", {}},
        {"an option", nullptr, {u"--force"_s, u"a"_s}, 2, "", "unknown option \"--force\"", {}},
        {"an empty path", nullptr, {u""_s}, 2, "", "non-empty journal path", {}},
        {"help", nullptr, {u"--help"_s}, 0, "       zelvora-auditor-cli undo JOURNAL\n", "", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempTree config;
        TempTree tree;
        for (const char *name : {"roms/b.zip", "roms/x.zip", "roms/y.zip", "d.zip"})
            tree.file(u"z/"_s + QString::fromUtf8(name), name);
        QStringList arguments{u"undo"_s};
        arguments += c.extra;
        if (!c.records.isNull())
            arguments.append(writeJournal(tree, c.records));
        if (c.mode != 0) {
            ASSERT_EQ(::chmod(QFile::encodeName(arguments.constLast()).constData(), c.mode), 0);
        }
        if (c.otherOwner &&
            (::geteuid() != 0 || ::chown(QFile::encodeName(arguments.constLast()).constData(), 65534, 65534) != 0)) {
            std::printf("skipped \"%s\": only root can give a journal to another user\n", c.what);
            continue;
        }
        const CliResult result = runCli(arguments, config.path());
        EXPECT_EQ(result.exitCode, c.status) << result.err.toStdString();
        EXPECT_TRUE(result.out.contains(c.out)) << result.out.toStdString();
        if (*c.err == '\0') {
            EXPECT_EQ(result.err, "");
        } else {
            EXPECT_TRUE(result.err.startsWith("Error: ") && result.err.contains(c.err)) << result.err.toStdString();
        }
        if (c.status == 2) {
            EXPECT_TRUE(result.err.contains("\nUsage: zelvora-auditor-cli [options] roms|videos|all\n"));
        }
        for (const QString &file : c.filesAfter)
            EXPECT_TRUE(QFile::exists(tree.filePath(u"z/"_s + file))) << file.toStdString();
    }
}

} // namespace
} // namespace zelvora::test
