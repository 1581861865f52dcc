#pragma once

#include "audit/nameblock.h"

#include <QStringList>
#include <string_view>
#include <vector>

namespace zelvora::test {

// The names of a block, or names given as views of UTF-8 bytes, as text: as the lists of text hold them.
inline QStringList textsOf(const NameBlock &names)
{
    QStringList texts;
    for (qsizetype i = 0; i < names.size(); ++i)
        texts.append(names.text(i));
    return texts;
}

inline QStringList textsOf(const std::vector<std::string_view> &views)
{
    QStringList texts;
    for (const std::string_view view : views)
        texts.append(QString::fromUtf8(view.data(), qsizetype(view.size())));
    return texts;
}

} // namespace zelvora::test
