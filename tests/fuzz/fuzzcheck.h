#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace zelvora::test {

// A broken invariant is a crash to libFuzzer, which then keeps the input that caused it.
[[noreturn]] inline void invariantBroken(const char *condition, const char *file, int line, const QString &detail)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", file, line, condition, detail.toUtf8().constData());
    std::abort();
}

// Names with every unit outside printable ASCII spelled out, so that case variants and invisible
// characters show in a report.
inline QString describe(const QStringList &names)
{
    QString out;
    for (const QString &name : names) {
        out += QLatin1Char('[');
        for (const QChar c : name) {
            if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
                out += c;
            else
                out += QLatin1String("\\u") + QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0'));
        }
        out += QLatin1String("] ");
    }
    return out;
}

inline QString describe(const QString &name)
{
    return describe(QStringList{name});
}

} // namespace zelvora::test

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::zelvora::test::invariantBroken(#condition, __FILE__, __LINE__, (detail));                                \
    } while (false)
