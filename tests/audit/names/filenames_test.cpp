#include "audit/names/filenames.h"

#include <QFile>
#include <gtest/gtest.h>
#include <random>

namespace zelvora {
namespace {

// Any bytes come back as they were; UTF-8 reads as QFile reads it (which drops a leading U+FEFF), and
// text without lone surrogates is written as QFile writes it.
TEST(FileNames, EveryByteStringSurvivesAndUtf8ReadsAsQFileReadsIt)
{
    std::mt19937 random(7);
    // Mostly bytes that start or continue UTF-8 sequences, so that valid and broken ones both come up.
    const unsigned char pool[] = {'a',  '/',  0x00, 0x7F, 0x80, 0xBF, 0xC0, 0xC1, 0xC3, 0xA9, 0xE0, 0xED,
                                  0xA0, 0xEF, 0xBB, 0xF0, 0x90, 0xF4, 0x8F, 0xF5, 0xFE, 0xFF, 0xB0, 0x9F};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof pool - 1);
    std::uniform_int_distribution<int> length(0, 12);
    for (int round = 0; round < 20'000; ++round) {
        QByteArray bytes;
        for (int i = length(random); i > 0; --i)
            bytes += char(pool[pick(random)]);
        const QString text = decodeFileName(bytes);
        ASSERT_EQ(encodeFileName(text).toHex(' '), bytes.toHex(' '));
        const QString qt = QFile::decodeName(bytes);
        if (QFile::encodeName(qt) == bytes && !bytes.startsWith("\xEF\xBB\xBF")) {
            ASSERT_EQ(text, qt) << bytes.toHex(' ').constData();
            ASSERT_EQ(encodeFileName(qt), bytes);
        } else {
            ASSERT_NE(text, qt) << bytes.toHex(' ').constData();
        }
    }
}

} // namespace
} // namespace zelvora
