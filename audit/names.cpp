#include "audit/names.h"

#include <algorithm>

namespace zelvora {

// A trailing separator is not part of a name's last component.
static QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QStringView lastPathComponent(QStringView path)
{
    path = withoutTrailingSlashes(path);
    if (path.size() <= 1)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.sliced(slash + 1);
}

int compareSringsCaseInsensitive(QStringView a, QStringView b)
{
    const int order = lastPathComponent(a).compare(lastPathComponent(b), Qt::CaseInsensitive);
    return (order > 0) - (order < 0);
}

void sortNames(QStringList &names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return compareSringsCaseInsensitive(a, b) < 0; });
}

// The extension's dot, or -1 when the last component has none or its only dot comes first.
static qsizetype extensionDot(QStringView name)
{
    const qsizetype componentStart = name.lastIndexOf(u'/') + 1;
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > componentStart ? dot : -1;
}

QStringView pathExtension(QStringView name)
{
    name = withoutTrailingSlashes(name);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QStringView() : name.sliced(dot + 1);
}

void setExtensionOfFilenames(const QString &extension, QStringList &filenames)
{
    for (QString &name : filenames) {
        QStringView stem = withoutTrailingSlashes(name);
        const qsizetype dot = extensionDot(stem);
        if (dot >= 0)
            stem.truncate(dot);
        QString renamed;
        renamed.reserve(stem.size() + 1 + extension.size());
        renamed.append(stem).append(u'.').append(extension);
        name = std::move(renamed);
    }
}

} // namespace zelvora
