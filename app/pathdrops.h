#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QMimeData;

namespace zelvora {

// Takes drops of one local folder, or one local file, on the widgets it filters, and refuses every
// other drop there, so that the drop cursor says no before the user lets go.
class PathDropFilter final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Folder, File };

    PathDropFilter(Kind kind, std::function<void(const QString &path)> dropped, QObject *parent = nullptr);

    // A drop a child refused goes on to its parents; the filter of a parent refuses it over `child`.
    void refuseOver(QWidget *child) { m_refusedOver.append(child); }

    // The path of the one item of the wanted kind the data holds, if that is all it holds.
    static std::optional<QString> droppedPath(const QMimeData *data, Kind kind);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isRefusedOver(QObject *watched, QPoint position) const;

    Kind m_kind;
    std::function<void(const QString &)> m_dropped;
    QList<QPointer<QWidget>> m_refusedOver;
};

} // namespace zelvora
