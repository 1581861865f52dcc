#pragma once

// Names as the tests write them (text lists) and as the engine keeps them (UTF-8 blocks and views).

#include "audit/names/merge.h"
#include "audit/names/nameblock.h"
#include "audit/names/namesort.h"
#include "audit/names/textunits.h"
#include "audit/walk/foundfiles.h"

#include <QStringList>
#include <string_view>
#include <vector>

namespace zelvora::test {

// The names of a block, or names given as views of UTF-8 bytes, as text.
inline QStringList textsOf(const NameBlock &names)
{
    QStringList texts;
    for (qsizetype i = 0; i < names.size(); ++i)
        texts.append(names.text(i));
    return texts;
}

inline QStringList textsOf(const NameList &views)
{
    QStringList texts;
    for (const std::string_view view : views)
        texts.append(textOfUtf8(view));
    return texts;
}

inline QStringList textsOf(const FoundFiles &files)
{
    return textsOf(files.names);
}

inline NameBlock blockOf(const QStringList &names)
{
    NameBlock block;
    for (const QString &name : names) {
        const QByteArray bytes = name.toUtf8();
        block.append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    }
    return block;
}

inline NameList viewsOf(const NameBlock &names)
{
    NameList views;
    for (qsizetype i = 0; i < names.size(); ++i)
        views.push_back(names.at(i));
    return views;
}

inline NameBlock sortedBlock(const QStringList &names)
{
    return sortNameBlock(blockOf(names));
}

inline QStringList sortedTexts(const QStringList &names)
{
    return textsOf(sortedBlock(names));
}

} // namespace zelvora::test
