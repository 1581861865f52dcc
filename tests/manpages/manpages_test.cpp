// Each program's --help and its manual page list the same options in the same words, and the zsh
// completion offers the same option names. Read from the programs and the sources, never from a
// list kept here, so a new option fails this test until the page and the completion have it.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "can't read " << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The option lines of the "Options:" block, up to the description: "-f, --format text|json".
QSet<QString> helpOptions(const QString &help)
{
    static const QRegularExpression head(u"^\\s+(-\\S.*?)(?:\\s{2,}|$)"_s);
    QSet<QString> options;
    bool inOptions = false;
    for (const QString &line : help.split(u'\n')) {
        if (line == "Options:"_L1) {
            inOptions = true;
        } else if (inOptions && line.trimmed().isEmpty()) {
            break;
        } else if (inOptions) {
            if (const QRegularExpressionMatch match = head.match(line); match.hasMatch())
                options.insert(match.captured(1).simplified());
        }
    }
    return options;
}

// The tags of the OPTIONS section's .TP entries, with groff's escapes taken out.
QSet<QString> pageOptions(const QString &source)
{
    static const QRegularExpression font(u"\\\\f(?:[BIRP]|\\(..|\\[[^]]*\\])"_s);
    QSet<QString> options;
    const QStringList lines = source.split(u'\n');
    bool inOptions = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(".SH"_L1)) {
            inOptions = line.mid(3).simplified() == "OPTIONS"_L1;
        } else if (inOptions && line.startsWith(".TP"_L1) && i + 1 < lines.size()) {
            QString tag = lines.at(i + 1);
            tag.remove(font).replace("\\-"_L1, "-"_L1).remove("\\&"_L1);
            options.insert(tag.simplified());
        }
    }
    return options;
}

// "-f, --format text|json" gives -f and --format.
QSet<QString> optionNames(const QSet<QString> &options)
{
    static const QRegularExpression name(u"(?<![\\w-])--?[A-Za-z0-9][\\w-]*"_s);
    QSet<QString> names;
    for (const QString &option : options) {
        for (auto it = name.globalMatch(option); it.hasNext();)
            names.insert(it.next().captured());
    }
    return names;
}

// The option names of the _arguments entries: '(-d --zelvora-dir)'{-d+,--zelvora-dir=}'[...]:...'.
QSet<QString> zshOptions(const QString &source)
{
    static const QRegularExpression exclusions(u"\\([^)]*\\)"_s);
    QSet<QString> entries;
    for (const QString &line : source.split(u'\n')) {
        const QString entry = line.trimmed();
        if (entry.startsWith(u'\''))
            entries.insert(entry.left(entry.indexOf(u'[')).remove(exclusions));
    }
    return optionNames(entries);
}

QStringList sorted(const QSet<QString> &set)
{
    QStringList list(set.cbegin(), set.cend());
    list.sort();
    return list;
}

std::string missingFrom(const QSet<QString> &from, const QSet<QString> &other)
{
    return sorted(QSet<QString>(other).subtract(from)).join(" | "_L1).toStdString();
}

TEST(ManualPages, ListTheOptionsOfHelp)
{
    const struct
    {
        const char *program;
        QString binary;
        QString page;
        QString zshCompletion; // empty: none
    } cases[] = {
        {"zelvora-auditor-cli", u"" ZELVORA_CLI_PATH ""_s, u"" ZELVORA_CLI_PAGE ""_s, u"" ZELVORA_CLI_ZSH ""_s},
#ifdef ZELVORA_APP_PATH
        {"zelvora-auditor", u"" ZELVORA_APP_PATH ""_s, u"" ZELVORA_APP_PAGE ""_s, {}},
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        QProcess process;
        process.start(c.binary, {u"--help"_s});
        ASSERT_TRUE(process.waitForFinished(30000)) << process.errorString().toStdString();
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(process.exitCode(), 0);

        const QSet<QString> help = helpOptions(QString::fromUtf8(process.readAllStandardOutput()));
        const QSet<QString> page = pageOptions(readFile(c.page));
        ASSERT_GE(help.size(), 2) << "--help shows at least --help and --version";
        EXPECT_EQ(help, page) << "only in --help: " << missingFrom(page, help)
                              << "\nonly in the manual page: " << missingFrom(help, page);

        if (!c.zshCompletion.isEmpty()) {
            const QSet<QString> names = optionNames(help);
            const QSet<QString> zsh = zshOptions(readFile(c.zshCompletion));
            EXPECT_EQ(names, zsh) << "only in --help: " << missingFrom(zsh, names)
                                  << "\nonly in the zsh completion: " << missingFrom(names, zsh);
        }
    }
}

} // namespace
