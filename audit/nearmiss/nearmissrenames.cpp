#include "audit/nearmiss/nearmissrenames.h"

#include "audit/names/filenames.h"

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

constexpr std::size_t kReasonCount = std::size_t(NearMissReason::Typo) + 1;
static_assert(kReasonCount == NearMissReasons().size());

std::size_t bit(NearMissReason reason)
{
    return std::size_t(reason);
}

QString decoded(std::string_view bytes)
{
    return decodeFileName(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

std::variant<NearMissReasons, QString> parseRenameReasons(QStringView text)
{
    NearMissReasons reasons;
    if (text.trimmed() == u"all") {
        for (std::size_t i = 0; i < kReasonCount; ++i) {
            if (isRenamable(NearMissReason(i)))
                reasons.set(i);
        }
        return reasons;
    }
    for (const QStringView part : text.split(u',')) {
        const QStringView id = part.trimmed();
        std::size_t i = 0;
        while (i < kReasonCount && nearMissReasonId(NearMissReason(i)) != id)
            ++i;
        if (i == kReasonCount)
            return u"\"%1\" is no reason of a near miss."_s.arg(id);
        if (!isRenamable(NearMissReason(i)))
            return u"other-format can't be renamed: a new name doesn't change the file's format."_s;
        reasons.set(i);
    }
    return reasons;
}

std::vector<RenameRequest> renameRequests(const NearMisses &nearMisses, const NearMissReasons &reasons)
{
    std::vector<RenameRequest> requests;
    for (const NearMiss &pair : nearMisses.pairs) {
        if (isRenamable(pair.file.reason) && reasons.test(bit(pair.file.reason)))
            requests.push_back({decoded(pair.file.folder), decoded(pair.file.found), decoded(pair.expected)});
    }
    return requests;
}

} // namespace zelvora
