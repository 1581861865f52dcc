#include "app/resultcaption.h"

#include <QDir>
#include <QLocale>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

QString elapsedText(qint64 ms)
{
    if (ms < 100)
        return u"< %1 s"_s.arg(QLocale().toString(0.1, 'f', 1));
    if (ms < 10'000)
        return u"%1 s"_s.arg(QLocale().toString(double(ms) / 1000.0, 'f', 1));
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 60)
        return u"%1 s"_s.arg(seconds);
    return u"%1 min %2 s"_s.arg(seconds / 60).arg(seconds % 60);
}

QString shownPath(const QString &path)
{
    return path.isEmpty() ? u"(none)"_s : QDir::toNativeSeparators(path);
}

} // namespace

bool isOutOfDate(const AuditStamp &stamp, const AuditInputs &current)
{
    return stamp.inputs.zelvoraDir != current.zelvoraDir || stamp.inputs.romsListPath != current.romsListPath ||
           (stamp.videos && stamp.inputs.availableRomsOnly != current.availableRomsOnly);
}

QString captionText(const AuditStamp &stamp, bool outOfDate, qsizetype shown, qsizetype total)
{
    // Hours and minutes, as the locale writes them; some locales' short format has seconds too.
    QString timeFormat = QLocale().timeFormat(QLocale::ShortFormat);
    timeFormat.remove(u":ss"_s);
    QStringList parts{u"Audited %1"_s.arg(QLocale().toString(stamp.finished.time(), timeFormat)),
                      elapsedText(stamp.elapsedMs)};
    if (stamp.videos)
        parts.append(stamp.inputs.availableRomsOnly ? u"available roms only"_s : u"all supported roms"_s);
    if (shown >= 0)
        parts.append(u"showing %1 of %2"_s.arg(groupedCount(shown), groupedCount(total)));
    if (outOfDate)
        parts.append(u"out of date"_s);
    return parts.join(u" · "_s);
}

QString captionToolTip(const AuditStamp &stamp, bool outOfDate)
{
    QString tip = u"Zelvora directory: %1\nSupported roms list: %2\nAudited %3"_s.arg(
        shownPath(stamp.inputs.zelvoraDir), shownPath(stamp.inputs.romsListPath),
        QLocale().toString(stamp.finished, QLocale::LongFormat));
    if (outOfDate)
        tip += u"\n\nThe fields have changed since: audit again to see their result."_s;
    return tip;
}

QString groupedCount(qint64 count)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(count);
}

} // namespace zelvora
