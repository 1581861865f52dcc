#pragma once

#include <QMetaObject>
#include <QObject>
#include <utility>

namespace zelvora {

// Runs `work` later on the thread of `context` (the main thread for the controller), in request
// order, without waiting. Dropped unrun if `context` is destroyed first.
template <typename Work> void postToMainThread(QObject *context, Work &&work)
{
    QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::QueuedConnection);
}

} // namespace zelvora
