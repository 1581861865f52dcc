#pragma once

#include "audit/names/growingarray.h"
#include "audit/tuning.h"

#include <QString>
#include <cstddef>
#include <span>
#include <string_view>

namespace zelvora {

// The last component of a path of UTF-8 bytes, as lastPathComponent finds it in text.
std::string_view lastPathComponent(std::string_view path);

// File names as the directory records hold them (UTF-8 bytes), one after another in one block: a
// million names cost two allocations rather than a million.
class NameBlock
{
public:
    void append(std::string_view name)
    {
        m_bytes.append(name.data(), name.size());
        m_ends.push_back(m_bytes.size());
    }
    void append(const NameBlock &other);
    void reserve(std::size_t names, std::size_t bytes)
    {
        m_ends.reserve(names);
        m_bytes.reserve(bytes);
    }

    qsizetype size() const { return qsizetype(m_ends.size()); }
    bool isEmpty() const { return m_ends.empty(); }

    std::string_view at(qsizetype i) const
    {
        const std::size_t begin = i == 0 ? 0 : m_ends[std::size_t(i) - 1];
        return {m_bytes.data() + begin, m_ends[std::size_t(i)] - begin};
    }

    // The name as text; bytes that are not UTF-8 become U+FFFD, so such a name is still listed.
    QString text(qsizetype i) const;

    // Appends the name as setExtensionOfFilenames would give it `extension`.
    void appendWithExtension(std::string_view name, std::string_view extension);

    // setExtensionOfFilenames for these names.
    void setExtension(std::string_view extension);

    // Whether a name holds a path separator: file names never do, list entries may.
    bool holdsSeparator() const;

    // The names in the order given by their positions, laid out in that order so that reading them in
    // it walks memory forwards.
    // From `twoCoresFrom` names on, two cores copy half each.
    NameBlock reordered(std::span<const qint32> positions,
                        std::size_t twoCoresFrom = tuning::kReorderOnTwoCoresFrom) const;

private:
    GrowingArray<char> m_bytes;
    GrowingArray<std::size_t> m_ends;
};

// Replaces (or adds) the extension of every name, in place, keeping the order: "ver1.1" becomes
// "ver1.zip", ".hidden" becomes ".hidden.zip".
void setExtensionOfFilenames(const QString &extension, NameBlock &filenames);

} // namespace zelvora
