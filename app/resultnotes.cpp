#include "app/resultnotes.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstring>

using namespace Qt::StringLiterals;

namespace zelvora {

ResultNotes resultNotes(const QString &zelvoraDir, const std::optional<QString> &dirWarning, const WalkReport &walk)
{
    ResultNotes notes;
    QStringList lines;
    if (dirWarning)
        lines.append(*dirWarning);
    const std::size_t unread = walk.unreadable.size();
    if (unread > 0) {
        lines.append(unread == 1 ? u"1 folder could not be read; its files are not counted."_s
                                 : u"%1 folders could not be read; their files are not counted."_s.arg(unread));
        // A tooltip taller than the screen helps nobody; the command line names them all.
        constexpr std::size_t kMostNamed = 20;
        QStringList folders;
        for (std::size_t i = 0; i < unread && i < kMostNamed; ++i) {
            const UnreadFolder &folder = walk.unreadable[i];
            folders.append(
                u"%1 (%2)"_s.arg(QDir::toNativeSeparators(QDir(zelvoraDir).filePath(QFile::decodeName(folder.path))),
                                 QString::fromLocal8Bit(std::strerror(folder.error))));
        }
        if (unread > kMostNamed)
            folders.append(u"... and %1 more folders"_s.arg(unread - kMostNamed));
        notes.toolTip = folders.join(u'\n');
    }
    notes.text = lines.join(u'\n');
    return notes;
}

} // namespace zelvora
