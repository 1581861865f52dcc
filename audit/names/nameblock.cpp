#include "audit/names/nameblock.h"

#include "audit/names/textunits.h"
#include "audit/parallel.h"
#include "audit/tuning.h"

#include <cstring>

namespace zelvora {

QString NameBlock::text(qsizetype i) const
{
    return textOfUtf8(at(i));
}

void NameBlock::append(const NameBlock &other)
{
    const std::size_t base = m_bytes.size();
    m_bytes.append(other.m_bytes.data(), other.m_bytes.size());
    m_ends.reserve(m_ends.size() + other.m_ends.size());
    for (const std::size_t end : other.m_ends)
        m_ends.push_back(base + end);
}

namespace {

// A trailing separator is not part of a name's last component.
std::string_view withoutTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

} // namespace

std::string_view lastPathComponent(std::string_view path)
{
    path = withoutTrailingSlashes(path);
    if (path.size() <= 1)
        return path;
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void NameBlock::appendWithExtension(std::string_view name, std::string_view extension)
{
    name = withoutTrailingSlashes(name);
    // The extension's dot: the last one of the last component, unless it starts the component
    // (".hidden" has no extension).
    const std::size_t componentStart = name.size() - lastPathComponent(name).size();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > componentStart)
        name = name.substr(0, dot);
    // Written through a pointer: three small copies through the array cost more than the name.
    const std::size_t start = m_bytes.size();
    m_bytes.resize(start + name.size() + 1 + extension.size());
    char *out = m_bytes.data() + start;
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '.';
    std::memcpy(out + name.size() + 1, extension.data(), extension.size());
    m_ends.push_back(m_bytes.size());
}

void NameBlock::setExtension(std::string_view extension)
{
    NameBlock renamed;
    renamed.reserve(m_ends.size(), m_bytes.size() + m_ends.size() * (extension.size() + 1));
    for (qsizetype i = 0; i < size(); ++i)
        renamed.appendWithExtension(at(i), extension);
    *this = std::move(renamed);
}

void setExtensionOfFilenames(const QString &extension, NameBlock &filenames)
{
    const QByteArray bytes = extension.toUtf8();
    filenames.setExtension(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

bool NameBlock::holdsSeparator() const
{
    return !m_bytes.empty() && std::memchr(m_bytes.data(), '/', m_bytes.size()) != nullptr;
}

NameBlock NameBlock::reordered(std::span<const qint32> positions, std::size_t twoCoresFrom) const
{
    // Reading names in an order unrelated to where they lie is a cache miss per name: asking for the
    // ones a little ahead lets those misses overlap, and two cores take half the names each.
    constexpr std::size_t kAhead = 16;
    const std::size_t count = positions.size();
    const std::size_t middle = count >= twoCoresFrom ? count / 2 : count;
    const auto eachHalf = [&](auto work) {
        if (middle < count)
            onTwoCores(work);
        else
            work(0);
    };
    const auto startOf = [&](std::size_t k) { return positions[k] == 0 ? 0 : m_ends[std::size_t(positions[k]) - 1]; };

    NameBlock out;
    out.m_ends.resize(count);
    eachHalf([&](int half) {
        std::size_t end = 0;
        for (std::size_t k = half == 0 ? 0 : middle; k < (half == 0 ? middle : count); ++k) {
            if (k + kAhead < count && positions[k + kAhead] > 0)
                __builtin_prefetch(&m_ends[std::size_t(positions[k + kAhead]) - 1]);
            end += at(positions[k]).size();
            out.m_ends[k] = end; // for now relative to the half's start
        }
    });
    const std::size_t firstHalfBytes = middle == 0 ? 0 : out.m_ends[middle - 1];
    out.m_bytes.resize(firstHalfBytes + (middle < count ? out.m_ends[count - 1] : 0));
    eachHalf([&](int half) {
        const std::size_t base = half == 0 ? 0 : firstHalfBytes;
        char *to = out.m_bytes.data() + base;
        for (std::size_t k = half == 0 ? 0 : middle; k < (half == 0 ? middle : count); ++k) {
            if (k + kAhead < count)
                __builtin_prefetch(m_bytes.data() + startOf(k + kAhead));
            const std::string_view name = at(positions[k]);
            std::memcpy(to, name.data(), name.size());
            to += name.size();
            out.m_ends[k] += base;
        }
    });
    return out;
}

} // namespace zelvora
