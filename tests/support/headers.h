#pragma once

// The result lists' texts, written out once for every test: "%lu" stands for the count and "%@" for the
// names. tests/audit/resulttext_test.cpp checks the product's formats against them character by
// character; the other tests fill them with resultBytes or resultText to get the exact bytes expected.

#include <QByteArray>
#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zelvora::test::headers {

inline constexpr std::string_view kValidRoms = "Found %lu roms with valid filename:\r\n\r\n%@";
inline constexpr std::string_view kMissingRoms = "Found %lu missing roms:\r\n\r\n%@";
// The window and the report file word the unknown roms' header differently.
inline constexpr std::string_view kUnknownRomsView =
    "Found %lu unknown archives:\r\n(warning, these could be necessary ones too, like neogeo.zip)\r\n\r\n%@";
inline constexpr std::string_view kUnknownRomsFile =
    "Found %lu roms with unknown filename:\r\n(warning, these could be necessary archives too, like "
    "neogeo.zip)\r\n\r\n%@";
inline constexpr std::string_view kValidVideos = "Found %lu videos with valid filename:\r\n\r\n%@";
inline constexpr std::string_view kMissingVideos = "Found %lu missing videos:\r\n\r\n%@";
inline constexpr std::string_view kExtraVideos = "Found %lu videos for missing roms:\r\n\r\n%@";
inline constexpr std::string_view kUnknownVideos = "Found %lu videos with unknown filename:\r\n\r\n%@";

// In the order of the window's segments.
inline constexpr std::array<std::string_view, 3> kRomView = {kValidRoms, kMissingRoms, kUnknownRomsView};
inline constexpr std::array<std::string_view, 3> kRomFile = {kValidRoms, kMissingRoms, kUnknownRomsFile};
inline constexpr std::array<std::string_view, 4> kVideo = {kValidVideos, kMissingVideos, kExtraVideos, kUnknownVideos};

} // namespace zelvora::test::headers

namespace zelvora::test {

// `format` filled in as UTF-8: the count of `names` for "%lu", the names (UTF-8, shown as they are)
// joined by `lineEnd` for "%@", and `lineEnd` for each CR LF of the format itself.
inline QByteArray resultBytes(std::string_view format, const std::vector<std::string_view> &names,
                              std::string_view lineEnd = "\r\n")
{
    const auto withLineEnds = [&](std::string_view text) {
        std::string out;
        for (std::size_t at = 0; at < text.size();) {
            if (text.substr(at, 2) == "\r\n") {
                out += lineEnd;
                at += 2;
            } else {
                out += text[at++];
            }
        }
        return out;
    };
    const std::size_t countAt = format.find("%lu");
    const std::size_t namesAt = format.find("%@");
    std::string out = withLineEnds(format.substr(0, countAt));
    out += std::to_string(names.size());
    out += withLineEnds(format.substr(countAt + 3, namesAt - countAt - 3));
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += lineEnd;
        out += names[i];
    }
    out += withLineEnds(format.substr(namesAt + 2));
    return QByteArray(out.data(), qsizetype(out.size()));
}

inline QString resultText(std::string_view format, const std::vector<std::string_view> &names,
                          std::string_view lineEnd = "\r\n")
{
    return QString::fromUtf8(resultBytes(format, names, lineEnd));
}

} // namespace zelvora::test
