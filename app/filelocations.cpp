// The lookup behind the result view's tooltip and its "Open containing folder" and "Copy path" items.
#include "app/filelocations.h"

#include "app/qkappdelegate.h"
#include "audit/names/namesort.h"
#include "platform/alert.h"
#include "platform/urlopener.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace zelvora {

std::optional<QString> foundFilePath(const QString &zelvoraDir, const FoundFiles &found, std::string_view name)
{
    const qsizetype i = findSortedName(found.names, name);
    if (i < 0)
        return std::nullopt;
    const std::string_view folder = found.folderOf(i);
    const std::string_view file = found.names.at(i);
    const QString relative = QFile::decodeName(QByteArray(folder.data(), qsizetype(folder.size()))) + u'/' +
                             QFile::decodeName(QByteArray(file.data(), qsizetype(file.size())));
    return QDir::cleanPath(QDir(zelvoraDir).filePath(relative));
}

QString QKAppDelegate::fileToolTipAt(Audit audit, qsizetype line) const
{
    const std::optional<QString> path = pane(audit).filePathAt(line);
    return path ? QDir::toNativeSeparators(*path) : QString();
}

void QKAppDelegate::addFileActions(Audit audit, QMenu *menu, qsizetype line)
{
    const std::optional<QString> path = pane(audit).filePathAt(line);
    menu->addSeparator();
    QAction *open = menu->addAction(u"Open Containing Folder"_s);
    QAction *copy = menu->addAction(u"Copy Path"_s);
    open->setObjectName(u"open-folder"_s);
    copy->setObjectName(u"copy-path"_s);
    open->setEnabled(path.has_value());
    copy->setEnabled(path.has_value());
    if (!path)
        return;
    connect(open, &QAction::triggered, this, [this, folder = QFileInfo(*path).absolutePath()] {
        if (m_services.urlOpener.openUrl(QUrl::fromLocalFile(folder)))
            return;
        m_services.alert.runModal(
            AlertMessage{u"The folder could not be opened."_s,
                         u"No file manager could be started for:\n\n%1"_s.arg(QDir::toNativeSeparators(folder)),
                         u"OK"_s,
                         AlertMessage::Style::Warning,
                         {}});
    });
    connect(copy, &QAction::triggered, this,
            [native = QDir::toNativeSeparators(*path)] { QGuiApplication::clipboard()->setText(native); });
}

} // namespace zelvora
