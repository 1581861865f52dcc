#pragma once

#include <QUrl>

namespace zelvora {

// Opens a web address in the user's browser.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual bool openUrl(const QUrl &url) = 0;
};

class QtUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace zelvora
