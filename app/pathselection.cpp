#include "app/pathchooser.h"
#include "app/qkappdelegate.h"
#include "audit/names/romslist.h"
#include "audit/walk/scan.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/openpanel.h"
#include "platform/urlopener.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// Where a panel opens for a field's path: the path itself when it is a folder, else the nearest
// existing folder above it; empty, the panel's own default.
QString nearestFolder(const QString &path)
{
    if (path.isEmpty())
        return {};
    QFileInfo info(QDir::cleanPath(path));
    while (!info.isDir()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return {};
        info.setFile(parent);
    }
    return info.absoluteFilePath();
}

} // namespace

void PathChooser::selectZelvoraDirectory()
{
    const std::optional<QString> directory = m_openPanel.runModal(
        OpenPanelOptions{.canChooseDirectories = true,
                         .canChooseFiles = false,
                         .allowsMultipleSelection = false,
                         .title = u"Zelvora directory"_s,
                         .prompt = u"Select"_s,
                         .directory = nearestFolder(m_controller.zelvoraDirPathTextField()->text()),
                         .selectedFile = {}});
    if (directory)
        chooseZelvoraDirectory(*directory);
}

void PathChooser::chooseZelvoraDirectory(const QString &directory)
{
    m_controller.zelvoraDirPathTextField()->setText(directory);
    m_controller.noteRecentDirectory(directory);
    const quint64 search = ++m_search;
    startOnPool(m_workers, [this, directory, search] { findRomListFile(directory, search); });
}

void PathChooser::selectRomsListFile()
{
    // The list field's file, or else the Zelvora directory, is where the panel opens.
    const QString list = m_controller.romsListPathTextField()->text();
    const QString folder = nearestFolder(list);
    const std::optional<QString> file = m_openPanel.runModal(OpenPanelOptions{
        .canChooseDirectories = false,
        .canChooseFiles = true,
        .allowsMultipleSelection = false,
        .title = u"Supported roms list"_s,
        .prompt = u"Select"_s,
        .directory = folder.isEmpty() ? nearestFolder(m_controller.zelvoraDirPathTextField()->text()) : folder,
        .selectedFile = QFileInfo(list).isFile() ? QFileInfo(list).absoluteFilePath() : QString()});
    if (file)
        chooseRomsListFile(*file);
}

void PathChooser::chooseRomsListFile(const QString &file)
{
    // The user's own choice must not be overwritten by a search that is still running.
    ++m_search;
    m_controller.romsListPathTextField()->setText(file);
    m_controller.romsListPathTextField()->setPlaceholderText(m_listPlaceholder);
}

void PathChooser::findRomListFile(const QString &directory, quint64 search)
{
    std::optional<QString> found = findFileBelow(directory, kRomsListFileName.toString());
    postToMainThread(this, [this, found = std::move(found), search] { didFindRomListFile(found, search); });
}

void PathChooser::didFindRomListFile(const std::optional<QString> &path, quint64 search)
{
    if (search == m_search) {
        // Another tree's list must not pass for this one's.
        // A copy of its own: the search's parcel, whose last reference its worker may drop, keeps the
        // found path's bytes; the field must not share them across threads.
        m_controller.romsListPathTextField()->setText(path ? QString(path->constData(), path->size()) : QString());
        m_controller.romsListPathTextField()->setPlaceholderText(
            path ? m_listPlaceholder : u"No supported roms list found below this folder"_s);
    }
    Q_EMIT searchFinished();
}

void QKAppDelegate::openHomepage(QObject *)
{
    const QUrl homepage(QStringLiteral(ZELVORA_HOMEPAGE));
    if (m_services.urlOpener.openUrl(homepage))
        return;
    // The address can still be copied from the alert into a browser.
    m_services.alert.runModal(AlertMessage{u"No web browser could be opened."_s,
                                           u"Open this address in your browser:\n\n%1"_s.arg(homepage.toString()),
                                           u"OK"_s,
                                           AlertMessage::Style::Warning,
                                           {}});
}

} // namespace zelvora
