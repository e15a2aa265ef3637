#include "platform/ProfileText.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace mzb {
namespace {

TEST(ProfileTextTest, ReadsValuesAsTheClassicFunctionsDo) {
    const ProfileText text("; settings\n"
                           "[Common]\n"
                           "  Width = 0x10  \n"
                           "Last Project=  \"  padded  \"\n"
                           "Single='quoted'\n"
                           "Unmatched=\"open\n"
                           "Empty=\n"
                           "no equals sign here\n"
                           "Eq=a=b\n"
                           "[ Docs ]\n"
                           "Filename prefix=docs\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Common", "Width", "0x10"},
        {"common", "WIDTH", "0x10"},
        {"Common", "Last Project", "  padded  "},
        {"Common", "Single", "quoted"},
        {"Common", "Unmatched", "\"open"},
        {"Common", "Empty", ""},
        {"Common", "Eq", "a=b"},
        {"DOCS", "filename PREFIX", "docs"},
        {"Common", "Missing", "<default>"},
        {"Missing", "Width", "<default>"},
        {"Common", "no equals sign here", "<default>"},
        {"Common", "; settings", "<default>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text.ReadString(c.section, c.key, "<default>"), c.expected)
            << c.section << " / " << c.key;
    }
    EXPECT_EQ(text.ReadInteger("Common", "Width", 2), 16);
}

TEST(ProfileTextTest, FirstOccurrenceOfSectionAndKeyWins) {
    const ProfileText text("[A]\nk=first\nK=second\n[a]\nk=third\nonly=later\n");
    EXPECT_EQ(text.ReadString("A", "k", ""), "first");
    // The later copy of the section is invisible, keys and all.
    EXPECT_EQ(text.ReadString("A", "only", "none"), "none");
}

TEST(ProfileTextTest, ParsesIntegersOnlyWhenTheWholeValueIsANumber) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"-3", -3},
        {"+7", 7},
        {"0", 0},
        {"0x10", 16},
        {"0X1f", 31},
        {"0xFFFFFFFF", -1},
        {"0x7fffffff", 2147483647},
        {"0x", 99},
        {"0x1", 1},
        {"0x123456789", 99},
        {"0xg", 99},
        {"abc", 99},
        {"12abc", 99},
        {"", 99},
        {"true", 99},
        {"2147483647", 2147483647},
        {"2147483648", 99},
        {"-2147483648", -2147483648},
        {"+-1", 99},
        {"-", 99},
        {"1 2", 99},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProfileInteger(c.text, 99), c.expected) << c.text;
    }
    const ProfileText text("[S]\nOn=1\nOff=0\nTwo=2\nWord=true\n");
    EXPECT_TRUE(text.ReadBool("S", "On", false));
    EXPECT_FALSE(text.ReadBool("S", "Off", true));
    EXPECT_TRUE(text.ReadBool("S", "Two", false));
    EXPECT_TRUE(text.ReadBool("S", "Word", true));
    EXPECT_FALSE(text.ReadBool("S", "Word", false));
}

TEST(ProfileTextTest, CutsLongValuesAtALimitNeverInsideAUtf8Sequence) {
    const std::string ascii(3000, 'a');
    EXPECT_EQ(ReadProfileValue(ascii).size(), kMaxValueLength);

    // "é" is two bytes; with an odd prefix of 2046 bytes the limit falls
    // between them, so the whole character goes.
    const std::string split = std::string(2046, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(ReadProfileValue(split), std::string(2046, 'a'));
    // A three-byte character ending exactly at the limit stays whole.
    const std::string fits = std::string(2044, 'a') + "\xE2\x82\xAC" + "tail";
    EXPECT_EQ(ReadProfileValue(fits), std::string(2044, 'a') + "\xE2\x82\xAC");
    // Garbage of continuation bytes is cut at the limit rather than eaten.
    const std::string stray(3000, '\x80');
    EXPECT_EQ(ReadProfileValue(stray).size(), kMaxValueLength);
}

TEST(ProfileTextTest, WriteReplacesInPlaceAndLeavesEverythingElseByteForByte) {
    const std::string original = "; hand-written comment\n"
                                 "[Common]\n"
                                 "  Width = 3   ; trailing\n"
                                 "odd line\n"
                                 "\n"
                                 "[Docs]\n"
                                 "Value=1\n";
    ProfileText text(original);
    text.WriteInteger("COMMON", "width", 5);
    EXPECT_EQ(text.Bytes(), "; hand-written comment\n"
                            "[Common]\n"
                            "  Width = 5\n"
                            "odd line\n"
                            "\n"
                            "[Docs]\n"
                            "Value=1\n");
}

TEST(ProfileTextTest, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEnd) {
    ProfileText text("[A]\na=1\n; note\n\n[B]\nb=1");
    text.WriteString("A", "second", "2");
    text.WriteString("B", "more", "x");
    text.WriteString("C", "c", "3");
    EXPECT_EQ(text.Bytes(), "[A]\na=1\n; note\nsecond=2\n\n[B]\nb=1\nmore=x\n\n[C]\nc=3\n");

    ProfileText empty;
    empty.WriteBool("Common", "Auto Run", true);
    empty.WriteString("Common", "Last Project", "Docs");
    EXPECT_EQ(empty.Bytes(), "[Common]\nAuto Run=1\nLast Project=Docs\n");
}

TEST(ProfileTextTest, CrlfFilesStayCrlf) {
    ProfileText text("[Common]\r\nWidth=3\r\n");
    EXPECT_EQ(text.ReadInteger("Common", "Width", 2), 3);
    text.WriteInteger("Common", "Width", 4);
    text.WriteInteger("Common", "Sort", 1);
    text.WriteString("Docs", "Value", "7");
    EXPECT_EQ(text.Bytes(), "[Common]\r\nWidth=4\r\nSort=1\r\n\r\n[Docs]\r\nValue=7\r\n");
}

TEST(ProfileTextTest, ByteOrderMarkIsKeptAndNotPartOfTheFirstSection) {
    ProfileText text("\xEF\xBB\xBF[Common]\nWidth=3\n");
    EXPECT_EQ(text.ReadInteger("Common", "Width", 2), 3);
    text.WriteInteger("Common", "Width", 9);
    EXPECT_EQ(text.Bytes(), "\xEF\xBB\xBF[Common]\nWidth=9\n");
}

TEST(ProfileTextTest, ValuesThatReadingWouldAlterAreQuotedSoTheyReadBackExactly) {
    const std::string values[] = {"  lead", "trail\t", "\"quoted\"", "'x'",   "plain",
                                  "",       "\"",      "a=b;c",      "#97#98"};
    for (const auto& v : values) {
        ProfileText text;
        text.WriteString("S", "k", v);
        EXPECT_EQ(ProfileText(text.Bytes()).ReadString("S", "k", "?"), v) << text.Bytes();
    }
    ProfileText text;
    text.WriteString("S", "k", "plain");
    EXPECT_EQ(text.Bytes(), "[S]\nk=plain\n");
}

TEST(ProfileTextTest, RefusesNamesAndValuesALineCannotHold) {
    const std::string original = "[S]\nk=1\n";
    struct Case {
        std::string section, key, value;
    };
    const Case cases[] = {
        {"S", "k", "two\nlines"},
        {"S", "k", "cr\r"},
        {"S", "k", std::string("n\0l", 3)},
        {"a]b", "k", "v"},
        {"", "k", "v"},
        {" S", "k", "v"},
        {"S", "a=b", "v"},
        {"S", "[k", "v"},
        {"S", ";k", "v"},
        {"S", "", "v"},
        {"line\nbreak", "k", "v"},
    };
    for (const auto& c : cases) {
        ProfileText text(original);
        EXPECT_THROW(text.WriteString(c.section, c.key, c.value), std::invalid_argument)
            << c.section << " / " << c.key;
        EXPECT_EQ(text.Bytes(), original);
    }
}

TEST(ProfileTextTest, EraseSectionRemovesEveryCopyWithItsKeys) {
    ProfileText text("[Keep]\nk=1\n[Gone]\na=1\n; its comment\n[keep2]\nx=2\n[gone]\nb=2\n");
    text.EraseSection("GONE");
    EXPECT_EQ(text.Bytes(), "[Keep]\nk=1\n[keep2]\nx=2\n");
    EXPECT_FALSE(text.HasSection("Gone"));
}

// Lookups remember where sections start; an edit that adds or removes lines
// moves every later section.
TEST(ProfileTextTest, ReadsBetweenEditsFindTheSectionsWhereTheEditsMovedThem) {
    ProfileText text("[A]\na=1\n[B]\nb=1\n[C]\nc=1\n[b]\nb=shadowed\n");
    EXPECT_EQ(text.ReadString("C", "c", ""), "1");
    text.WriteString("A", "added", "x");
    text.WriteString("a", "more", "y");
    EXPECT_EQ(text.ReadString("B", "b", ""), "1");
    EXPECT_EQ(text.ReadString("C", "c", ""), "1");
    text.EraseSection("b");
    EXPECT_FALSE(text.HasSection("B"));
    EXPECT_EQ(text.ReadString("c", "C", ""), "1");
    text.WriteString("B", "b", "new");
    text.WriteString("C", "c", "2");
    EXPECT_EQ(text.Bytes(), "[A]\na=1\nadded=x\nmore=y\n[C]\nc=2\n\n[B]\nb=new\n");
}

TEST(ProfileTextTest, NumberedListsReadOnlyBelowTheCountAndSkipEmptyEntries) {
    const ProfileText text("[P]\n"
                           "Backup2=c\n"
                           "Backup0=a\n"
                           "Backup1=\n"
                           "backup3=d\n"
                           "Backup01=leading zero\n"
                           "NoBackup0=excluded\n"
                           "Backup0=duplicate\n"
                           "Backup4=beyond\n"
                           "Backup99999999999=huge\n");
    EXPECT_EQ(text.ReadNumberedList("P", "Backup", 4), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(text.ReadNumberedList("P", "NoBackup", 2000000000),
              (std::vector<std::string>{"excluded"}));
    EXPECT_TRUE(text.ReadNumberedList("P", "Backup", 0).empty());
    EXPECT_TRUE(text.ReadNumberedList("Q", "Backup", 5).empty());
}

TEST(ProfileTextTest, AcceptsArbitraryBytes) {
    static const char raw[] = "[\0]\n=\n[]]\n\r\r\n]=[\n\xFF\xFE=\x80\n[";
    const std::string junk(raw, sizeof raw - 1);
    ProfileText text(junk);
    EXPECT_EQ(text.Bytes(), junk);
    text.WriteString("S", "k", "v");
    EXPECT_EQ(ProfileText(text.Bytes()).ReadString("S", "k", ""), "v");
}

} // namespace
} // namespace mzb
