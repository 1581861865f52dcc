#include "app/pathdrops.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

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
    return under != nullptr &&
           std::any_of(m_refusedOver.begin(), m_refusedOver.end(), [under](const QPointer<QWidget> &refused) {
               return !refused.isNull() && (under == refused || refused->isAncestorOf(under));
           });
}

bool PathDropFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = dynamic_cast<QDragMoveEvent *>(event);
        if (drag != nullptr && !isRefusedOver(watched, drag->position().toPoint()) &&
            droppedPath(drag->mimeData(), m_kind)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        // Never the line edit's own handling, which would insert the dragged text.
        return true;
    }
    case QEvent::Drop: {
        auto *drop = dynamic_cast<QDropEvent *>(event);
        if (!drop)
            return false;
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
