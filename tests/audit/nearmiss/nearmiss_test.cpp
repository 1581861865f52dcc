// The near-miss pass over names: each reason, each case that must never pair, and the ambiguous ones.

#include "audit/nearmiss/nearmiss.h"
#include "audit/nearmiss/nearmissfold.h"

#include <QString>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace zelvora {
namespace {

FoundFiles filesIn(const std::vector<std::string> &names, std::string_view folder)
{
    FoundFiles files;
    files.folderPaths.append(folder);
    for (const std::string &name : names) {
        files.names.append(name);
        files.folders.push_back(0);
    }
    return files;
}

// Pairs as "expected <- folder/found reason", ambiguous names as "? expected: folder/found reason, ...".
std::vector<std::string> described(const NearMisses &found)
{
    const auto candidate = [](const NearMissCandidate &c) {
        return std::string(c.folder) + '/' + std::string(c.found) + ' ' +
               nearMissReasonId(c.reason).toString().toStdString();
    };
    std::vector<std::string> out;
    for (const NearMiss &pair : found.pairs)
        out.push_back(std::string(pair.expected) + " <- " + candidate(pair.file));
    for (const AmbiguousNearMiss &ambiguous : found.ambiguous) {
        std::string line = "? " + std::string(ambiguous.expected) + ":";
        for (const NearMissCandidate &c : ambiguous.candidates)
            line += ' ' + candidate(c);
        out.push_back(line);
    }
    return out;
}

// The pass over missing names and unknown files (in "roms"), with other names listed beside the missing ones.
std::vector<std::string> nearMissesOf(const std::vector<std::string> &missingNames,
                                      const std::vector<std::string> &alsoListed,
                                      const std::vector<std::string> &unknownNames,
                                      const std::vector<std::string> &otherFormats)
{
    const FoundFiles found = filesIn(unknownNames, "roms");
    const FoundFiles others = filesIn(otherFormats, "roms");
    NameBlock listed;
    for (const std::vector<std::string> *names : {&missingNames, &alsoListed}) {
        for (const std::string &name : *names)
            listed.append(name);
    }
    const NameList missing(missingNames.begin(), missingNames.end());
    NameList unknown;
    for (qsizetype i = 0; i < found.size(); ++i)
        unknown.push_back(found.names.at(i));
    return described(findNearMisses(listed, missing, found, unknown, others, "zip"));
}

TEST(NearMisses, PairsEachReasonAndNeverAVariant)
{
    struct Case
    {
        std::vector<std::string> missing;
        std::vector<std::string> unknown;
        std::vector<std::string> otherFormats;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // Each reason.
        {{"Pac-Man Plus.zip"},
         {"pac_man_plus.zip"},
         {},
         {"Pac-Man Plus.zip <- roms/pac_man_plus.zip case-and-separators"}},
        {{"Super Mario World.zip"},
         {"SuperMarioWorld.zip"},
         {},
         {"Super Mario World.zip <- roms/SuperMarioWorld.zip case-and-separators"}},
        {{"Street Fighter II: The World Warrior.zip"},
         {"Street Fighter II - The World Warrior.zip"},
         {},
         {"Street Fighter II: The World Warrior.zip <- roms/Street Fighter II - The World Warrior.zip "
          "forbidden-characters"}},
        {{"Tom & Jerry's Quest.zip"},
         {"Tom _ Jerrys Quest.zip"},
         {},
         {"Tom & Jerry's Quest.zip <- roms/Tom _ Jerrys Quest.zip forbidden-characters"}},
        {{"Pok\xc3\xa9mon Stadium.zip"},
         {"Pokemon Stadium.zip"},
         {},
         {"Pok\xc3\xa9mon Stadium.zip <- roms/Pokemon Stadium.zip accents"}},
        {{"Stra\xc3\x9f"
          "e R\xc3\xa6"
          "cer \xc3\x98ne.zip"},
         {"Strasse Raecer One.zip"},
         {},
         {"Stra\xc3\x9f"
          "e R\xc3\xa6"
          "cer \xc3\x98ne.zip <- roms/Strasse Raecer One.zip accents"}},
        {{"Stra\xc3\x9f"
          "e R\xc3\xa6"
          "cer.zip"},
         {"strasse raecer.zip"},
         {},
         {"Stra\xc3\x9f"
          "e R\xc3\xa6"
          "cer.zip <- roms/strasse raecer.zip accents"}},
        {{"It\xe2\x80\x99s Magic.zip"},
         {"Its Magic.zip"},
         {},
         {"It\xe2\x80\x99s Magic.zip <- roms/Its Magic.zip forbidden-characters"}},
        {{"Street Fighter II.zip"},
         {"Street Fighter 2.zip"},
         {},
         {"Street Fighter II.zip <- roms/Street Fighter 2.zip roman-numerals"}},
        {{"Final Fight 3.zip"},
         {"final fight iii.zip"},
         {},
         {"Final Fight 3.zip <- roms/final fight iii.zip roman-numerals"}},
        {{"The Three Stooges (set 1).zip"},
         {"Three Stooges, The (set 1).zip"},
         {},
         {"The Three Stooges (set 1).zip <- roms/Three Stooges, The (set 1).zip article"}},
        {{"Metal Slug.zip"}, {"Metal Slug (1).zip"}, {}, {"Metal Slug.zip <- roms/Metal Slug (1).zip download-copy"}},
        {{"Metal Slug.zip"},
         {"Metal Slug - Copy.zip"},
         {},
         {"Metal Slug.zip <- roms/Metal Slug - Copy.zip download-copy"}},
        {{"dkong.zip"}, {"dkong.zip.zip"}, {}, {"dkong.zip <- roms/dkong.zip.zip double-extension"}},
        {{"Game v1.zip"}, {"Game v1.1.zip"}, {}, {"Game v1.zip <- roms/Game v1.1.zip dotted-name"}},
        {{"galaga.zip"}, {}, {"galaga.7z"}, {"galaga.zip <- roms/galaga.7z other-format"}},
        // Never a pair: codes, versions, regions, revisions, set numbers.
        {{"sf2.zip"}, {"sf2ua.zip"}, {}, {}},
        {{"dkong.zip"}, {"dkong3.zip"}, {}, {}},
        {{"Game (set 1).zip"}, {"Game (set 2).zip"}, {}, {}},
        {{"Battle Game (ver EAD).zip"}, {"Battle Game (ver EAC).zip"}, {}, {}},
        {{"Street Fighter II.zip"}, {"Street Fighter III.zip"}, {}, {}},
        {{"HP 9845B.zip"}, {"HP 9845C.zip"}, {}, {}},
        {{"Game v11.zip"}, {"Game v1.1.zip"}, {}, {}},
        {{"Mystic.zip"}, {"mystic.warriors (ver EAA).zip"}, {}, {}},
        // A bracketed tag is never stripped, neither way.
        {{"Game (USA).zip"}, {"Game.zip"}, {}, {}},
        {{"Game.zip"}, {"Game (USA).zip"}, {"Game (USA).7z"}, {}},
        {{"Game.zip"}, {"Game [!].zip"}, {}, {}},
        // A file two names fit equally, and a name two files fit equally: listed apart, unpaired.
        {{"Pac-Man.zip", "Pac Man.zip"},
         {"pacman.zip"},
         {},
         {"? Pac-Man.zip: roms/pacman.zip case-and-separators", "? Pac Man.zip: roms/pacman.zip case-and-separators"}},
        {{"Pac-Man.zip"},
         {"pac_man.zip", "PAC MAN.zip"},
         {},
         {"? Pac-Man.zip: roms/PAC MAN.zip case-and-separators roms/pac_man.zip case-and-separators"}},
        // The same name listed twice is one name, not two equal fits.
        {{"Metal Slug.zip", "METAL SLUG.zip"},
         {"Metal Slug (1).zip"},
         {},
         {"Metal Slug.zip <- roms/Metal Slug (1).zip download-copy"}},
        // A file fitting one name better than another goes to the better one.
        {{"Bubble Bobble Adventure.zip", "Bubble Bobble Adventre.zip"},
         {"bubble bobble adventre.zip"},
         {},
         {"Bubble Bobble Adventre.zip <- roms/bubble bobble adventre.zip case-and-separators"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.missing.front() + " / " + (c.unknown.empty() ? c.otherFormats.front() : c.unknown.front()));
        EXPECT_EQ(nearMissesOf(c.missing, {}, c.unknown, c.otherFormats), c.expected);
    }
}

// Typos as people make them pair; near twins never do: real variants, one letter apart, both real.
TEST(NearMisses, PairsTyposButNoNearTwin)
{
    struct Case
    {
        std::vector<std::string> missing;
        std::vector<std::string> unknown;
        std::vector<std::string> expected;
        std::vector<std::string> alsoListed = {}; // present, so neither missing nor unknown
    };
    const Case cases[] = {
        // A letter dropped, doubled, changed, two swapped, inside a word of a title of several words.
        {{"Bubble Bobble Adventure.zip"},
         {"Buble Bobble Adventure.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Buble Bobble Adventure.zip typo"}},
        {{"Bubble Bobble Adventure.zip"},
         {"Bubble Bobblle Adventure.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Bubble Bobblle Adventure.zip typo"}},
        {{"Bubble Bobble Adventure.zip"},
         {"Bubble Bobble Adventore.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Bubble Bobble Adventore.zip typo"}},
        {{"Bubble Bobble Adventure.zip"},
         {"Bubble Bobble Advetnure.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Bubble Bobble Advetnure.zip typo"}},
        // At a word's end: the last two swapped, the last letter dropped, doubled or changed.
        {{"Netlist Integer Output.zip"},
         {"Netlist Integer Outptu.zip"},
         {"Netlist Integer Output.zip <- roms/Netlist Integer Outptu.zip typo"}},
        {{"Bubble Bobble Adventure.zip"},
         {"Bubble Bobble Adventur.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Bubble Bobble Adventur.zip typo"}},
        {{"Bubble Bobble Adventure.zip"},
         {"Bubble Bobble Adventuree.zip"},
         {"Bubble Bobble Adventure.zip <- roms/Bubble Bobble Adventuree.zip typo"}},
        {{"Bank Robbery.zip"}, {"Bank Robbert.zip"}, {"Bank Robbery.zip <- roms/Bank Robbert.zip typo"}},
        // In a tag; in a one-word title, or its tag; in a short title of several words.
        {{"Angel Kids (Japan).zip"},
         {"Angel Kids (Jaaan).zip"},
         {"Angel Kids (Japan).zip <- roms/Angel Kids (Jaaan).zip typo"}},
        {{"Phantomas (bootleg of Spectar).zip"},
         {"Phaantomas (bootleg of Spectar).zip"},
         {"Phantomas (bootleg of Spectar).zip <- roms/Phaantomas (bootleg of Spectar).zip typo"}},
        {{"Galaxian.zip"}, {"Galaxain.zip"}, {"Galaxian.zip <- roms/Galaxain.zip typo"}},
        {{"Galaxian.zip"}, {"Galaxina.zip"}, {"Galaxian.zip <- roms/Galaxina.zip typo"}},
        {{"Zektor (revision B).zip"},
         {"Zektor (revidion B).zip"},
         {"Zektor (revision B).zip <- roms/Zektor (revidion B).zip typo"}},
        {{"Nokia 6210.zip"}, {"Nokai 6210.zip"}, {"Nokia 6210.zip <- roms/Nokai 6210.zip typo"}},
        // Equal fits stay ambiguous.
        {{"Blaster.zip", "Master.zip"},
         {"Baster.zip"},
         {"? Blaster.zip: roms/Baster.zip typo", "? Master.zip: roms/Baster.zip typo"}},
        // Never: a misspelt word the list holds elsewhere, in a tag, a one-word title or at a word's end.
        {{"Bubble Bobble (Japan).zip"}, {"Bubble Bobble (Japon).zip"}, {}, {"Rally (Japon).zip"}},
        {{"Fighter Hero (Korean).zip"}, {"Fighter Hero (Korea).zip"}, {}, {"Fighter Hero 2 (Korea).zip"}},
        {{"Galaxian.zip"}, {"Galaxain.zip"}, {}, {"Galaxain (bootleg).zip"}},
        {{"Raiden Fighters.zip"}, {"Raiden Fighter.zip"}, {}, {"Street Fighter.zip"}},
        // Never: set names in lower case, whose letters tell variants apart; a one-word title's last letter.
        {{"galagamk.zip"}, {"galagamw.zip"}, {}},
        {{"finallapjc.zip"}, {"finallapc.zip"}, {}},
        {{"spectrum_kempcentreu.zip"}, {"spectrum_kempcentref.zip"}, {}},
        {{"Tetris.zip"}, {"Tetrix.zip"}, {}},
        // Never: digits, a word without a vowel, one of two letters or of three in a short title, a letter
        // added at the end that doubles none.
        {{"Mega Blast Ab3cdef.zip"}, {"Mega Blast Ax3cdef.zip"}, {}},
        {{"MSX Floppy Drive SSDD.zip"}, {"MSX Floppy Drive DSDD.zip"}, {}},
        {{"Galactic Warriors Ox.zip"}, {"Galactic Warriors Ax.zip"}, {}},
        {{"Ab Cde.zip"}, {"Ab Cdde.zip"}, {}},
        {{"Bubble Bobble Adventure.zip"}, {"Bubble Bobble Adventures.zip"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.missing.front() + " / " + c.unknown.front());
        EXPECT_EQ(nearMissesOf(c.missing, c.alsoListed, c.unknown, {}), c.expected);
    }
}

// The Latin letters folded without ICU fold as ICU folds them: a name that ends in U+0180 ("b" in
// ASCII) takes ICU's way whole, the same name without it the table's, between letters of either case.
TEST(NearMisses, LatinLettersFoldAsIcuFoldsThem)
{
    nearmiss::NameFolder folder;
    for (char32_t code = 0xC0; code < 0x180; ++code) {
        const std::string letter = QString::fromUcs4(&code, 1).toStdString();
        const std::string name = "x" + letter + "Y" + letter + letter + "z";
        ASSERT_TRUE(nearmiss::foldsWithoutIcu(name));
        const std::string table = folder.key(name, nearmiss::FoldLevel::Accents);
        const std::string icu = folder.key(name + "\u0180", nearmiss::FoldLevel::Accents);
        EXPECT_EQ(table + "b", icu) << std::hex << unsigned(code);
    }
    EXPECT_FALSE(nearmiss::foldsWithoutIcu("\u0180"));
    EXPECT_FALSE(nearmiss::foldsWithoutIcu("e\u0301")); // a combining accent
    EXPECT_FALSE(nearmiss::foldsWithoutIcu("\xC3"));    // cut short
}

// The one-pass fold of plain ASCII names gives what the fold through a copy gives, at every level, on
// names built from the bytes that matter: separators, forbidden characters, brackets, digits, numerals.
TEST(NearMisses, PlainFoldMatchesFoldByCopy)
{
    constexpr std::string_view bytes = "aIiVxX9 0_.-:?&'[()]{};bZ";
    std::mt19937 random(7);
    nearmiss::NameFolder folder;
    nearmiss::Folded plain;
    nearmiss::Folded copied;
    for (int n = 0; n < 20000; ++n) {
        std::string name(random() % 14, ' ');
        for (char &c : name)
            c = bytes[random() % bytes.size()];
        for (int level = 1; level <= 5; ++level) {
            const auto foldLevel = nearmiss::FoldLevel(level);
            folder.foldInto(name, foldLevel, plain, true);
            folder.foldByCopyInto(name, foldLevel, copied, true);
            ASSERT_EQ(plain.key, copied.key) << name << " at " << level;
            ASSERT_EQ(plain.letters, copied.letters) << name;
            ASSERT_EQ(plain.plainWords, copied.plainWords) << name;
            ASSERT_EQ(plain.dotted, copied.dotted) << name;
            ASSERT_EQ(plain.words.size(), copied.words.size()) << name;
            for (std::size_t w = 0; w < plain.words.size(); ++w) {
                ASSERT_EQ(plain.word(w), copied.word(w)) << name;
                ASSERT_EQ(plain.words[w].inBrackets, copied.words[w].inBrackets) << name;
                ASSERT_EQ(plain.words[w].lettersOnly, copied.words[w].lettersOnly) << name;
            }
        }
    }
}

} // namespace
} // namespace zelvora
