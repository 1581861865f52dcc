#include "app/pathdrops.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace zelvora {

PathDropFilter::PathDropFilter(Kind kind, std::function<void(const QString &)> dropped, QObject *parent)
    : QObject(parent), m_kind(kind), m_dropped(std::move(dropped))
{}

std::optional<QString> PathDropFilter::droppedPath(const QMimeData *data, Kind kind)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile())
        return std::nullopt;
    QString path = urls.constFirst().toLocalFile();
    // A file manager may send a folder as "dir/".
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QFileInfo info(path);
    if (kind == Kind::Folder ? !info.isDir() : !info.isFile())
        return std::nullopt;
    return path;
}

bool PathDropFilter::isRefusedOver(QObject *watched, QPoint position) const
{
    auto *widget = qobject_cast<QWidget *>(watched);
    QWidget *under = widget ? widget->childAt(position) : nullptr;
    for (const QPointer<QWidget> &refused : m_refusedOver)
        if (refused && under && (under == refused || refused->isAncestorOf(under)))
            return true;
    return false;
}

bool PathDropFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!isRefusedOver(watched, drag->position().toPoint()) && droppedPath(drag->mimeData(), m_kind)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        // Never the line edit's own handling, which would insert the dragged text.
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const std::optional<QString> path = droppedPath(drop->mimeData(), m_kind);
        if (!path || isRefusedOver(watched, drop->position().toPoint())) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        m_dropped(*path);
        return true;
    }
    default:
        return false;
    }
}

} // namespace zelvora
