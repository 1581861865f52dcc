#include "platform/urlopener.h"

#include <QDesktopServices>

namespace zelvora {

bool QtUrlOpener::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace zelvora
