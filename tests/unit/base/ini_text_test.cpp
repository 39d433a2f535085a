#include "base/ini_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vk605 {
namespace {

TEST(IniTextFind, ComparesSectionsAndKeysWithoutCase) {
  IniText ini("[Main]\r\nBaudRate=9600\r\n");
  EXPECT_EQ(ini.Find("MAIN", "BAUDRATE"), "9600");
  EXPECT_EQ(ini.Find("main", "baudrate"), "9600");
  EXPECT_TRUE(ini.HasSection("mAiN"));
}

TEST(IniTextFind, TrimsBlanksAroundKeysValuesAndSectionNames) {
  IniText ini("  [ MAIN ]  \n\t PORT  =  COM1: \t\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "COM1:");
}

TEST(IniTextFind, KeepsBlanksInsideTheValue) {
  IniText ini("[MAIN]\nNAME= a  b \n");
  EXPECT_EQ(ini.Find("MAIN", "NAME"), "a  b");
}

TEST(IniTextFind, EmptyValueIsPresentAndEmpty) {
  IniText ini("[MAIN]\nPORT=\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "");
}

TEST(IniTextFind, MissingSectionOrKeyIsEmpty) {
  IniText ini("[MAIN]\nPORT=COM1:\n");
  EXPECT_FALSE(ini.Find("OTHER", "PORT").has_value());
  EXPECT_FALSE(ini.Find("MAIN", "BAUDRATE").has_value());
  EXPECT_FALSE(ini.HasSection("OTHER"));
}

TEST(IniTextFind, KeyOfAnotherSectionIsNotFound) {
  IniText ini("[A]\nX=1\n[B]\nY=2\n");
  EXPECT_FALSE(ini.Find("A", "Y").has_value());
  EXPECT_EQ(ini.Find("B", "Y"), "2");
}

TEST(IniTextFind, KeysBeforeAnySectionBelongToNone) {
  IniText ini("PORT=COM9:\n[MAIN]\nBAUDRATE=1\n");
  EXPECT_FALSE(ini.Find("MAIN", "PORT").has_value());
}

TEST(IniTextFind, FirstOfDuplicateSectionsAndKeysIsRead) {
  IniText ini("[MAIN]\nPORT=first\nPORT=second\n[main]\nPORT=third\nBAUDRATE=7\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "first");
  // Keys of a later duplicate section are not seen, as the first section is the only one searched.
  EXPECT_FALSE(ini.Find("MAIN", "BAUDRATE").has_value());
}

TEST(IniTextFind, CommentsAndLinesWithoutEqualsAreNoKeys) {
  IniText ini("[MAIN]\n;PORT=COM2:\n#PORT=COM3:\nPORT\nPORT=COM4:\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "COM4:");
}

TEST(IniTextFind, ValueMayHoldEqualsSigns) {
  IniText ini("[MAIN]\nFORMULA=a=b\n");
  EXPECT_EQ(ini.Find("MAIN", "FORMULA"), "a=b");
}

TEST(IniTextFind, ReadsLfCrLfAndMissingFinalLineEnd) {
  IniText ini("[MAIN]\nA=1\r\nB=2\nC=3");
  EXPECT_EQ(ini.Find("MAIN", "A"), "1");
  EXPECT_EQ(ini.Find("MAIN", "B"), "2");
  EXPECT_EQ(ini.Find("MAIN", "C"), "3");
}

TEST(IniTextFind, ByteOrderMarkDoesNotHideTheFirstSection) {
  IniText ini("\xEF\xBB\xBF[MAIN]\r\nPORT=COM1:\r\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "COM1:");
}

TEST(IniTextFind, SurvivesBinaryGarbage) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 131) % 256));
  std::string text = garbage + "\n[MAIN]\nPORT=COM1:\n" + garbage;
  IniText ini(text);
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "COM1:");
}

TEST(IniTextFind, ReadsAOneMegabyteValue) {
  std::string value(1 << 20, 'v');
  IniText ini("[MAIN]\nBIG=" + value + "\nPORT=COM1:\n");
  EXPECT_EQ(ini.Find("MAIN", "BIG"), value);
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "COM1:");
}

TEST(IniTextFind, KeyPathSectionsCollapseSeparatorsAndIgnoreCase) {
  IniText ini("[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=/var/log/vk605.log\n",
              SectionNames::kKeyPaths);
  EXPECT_EQ(ini.Find("Software\\Orvanta\\\\Spectrophotometers\\VK605", "diagnosticsfilename"),
            "/var/log/vk605.log");
  EXPECT_EQ(ini.Find("\\SOFTWARE\\orvanta\\spectrophotometers\\vk605\\", "DiagnosticsFileName"),
            "/var/log/vk605.log");
  EXPECT_FALSE(ini.HasSection("Software\\Orvanta"));
}

TEST(IniTextFind, PlainSectionsDoNotCollapseSeparators) {
  IniText ini("[A\\B]\nK=1\n");
  EXPECT_FALSE(ini.HasSection("A\\\\B"));
  EXPECT_TRUE(ini.HasSection("a\\b"));
}

TEST(IniTextSet, EmptyTextGetsSectionAndKey) {
  IniText ini("");
  ini.Set("CALIBRATION", "HOURS", "4");
  EXPECT_EQ(ini.Serialise(), "[CALIBRATION]\r\nHOURS=4\r\n");
}

TEST(IniTextSet, NewSectionIsAppendedAtTheEnd) {
  IniText ini("[MAIN]\r\nPORT=COM1:\r\n");
  ini.Set("CALIBRATION", "HOURS", "4");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPORT=COM1:\r\n[CALIBRATION]\r\nHOURS=4\r\n");
}

TEST(IniTextSet, NewKeyGoesToTheEndOfItsSectionBeforeBlankLines) {
  IniText ini("[MAIN]\nPORT=COM1:\n\n\n[CALIBRATION]\nHOURS=4\n");
  ini.Set("main", "BAUDRATE", "9600");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPORT=COM1:\r\nBAUDRATE=9600\r\n\r\n\r\n[CALIBRATION]\r\nHOURS=4\r\n");
}

TEST(IniTextSet, NewKeyInAnEmptySectionFollowsItsHeader) {
  IniText ini("[MAIN]\n\n[OTHER]\n");
  ini.Set("MAIN", "PORT", "COM1:");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPORT=COM1:\r\n\r\n[OTHER]\r\n");
}

TEST(IniTextSet, ExistingKeyIsReplacedInPlaceWithItsStoredSpelling) {
  IniText ini("[MAIN]\n  Port = COM1:\nBAUDRATE=9600\n");
  ini.Set("MAIN", "PORT", "COM2:");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPort=COM2:\r\nBAUDRATE=9600\r\n");
}

TEST(IniTextSet, OtherLinesAreKeptAsTheyAre) {
  IniText ini("; settings\n[MAIN]\n# note\n\x01\x02 junk [\nPORT=COM1:\n  odd line  \n[X]\nY=1\n");
  ini.Set("MAIN", "PORT", "COM3:");
  EXPECT_EQ(
      ini.Serialise(),
      "; settings\r\n[MAIN]\r\n# note\r\n\x01\x02 junk [\r\nPORT=COM3:\r\n  odd line  \r\n[X]\r\nY=1\r\n");
}

TEST(IniTextSet, WritesTheFirstOfDuplicates) {
  IniText ini("[MAIN]\nPORT=a\nPORT=b\n[MAIN]\nPORT=c\n");
  ini.Set("MAIN", "PORT", "z");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPORT=z\r\nPORT=b\r\n[MAIN]\r\nPORT=c\r\n");
}

TEST(IniTextSet, EmptyValueIsWrittenAsKeyAndEquals) {
  IniText ini("[MAIN]\nPORT=COM1:\n");
  ini.Set("MAIN", "PORT", "");
  EXPECT_EQ(ini.Serialise(), "[MAIN]\r\nPORT=\r\n");
  EXPECT_EQ(ini.Find("MAIN", "PORT"), "");
}

TEST(IniTextSet, KeyPathSectionIsMatchedNotDuplicated) {
  IniText ini("[Software\\Orvanta\\Spectrophotometers\\VK605]\nA=1\n", SectionNames::kKeyPaths);
  ini.Set("Software\\Orvanta\\\\Spectrophotometers\\VK605", "CalveraID", "23");
  EXPECT_EQ(ini.Serialise(), "[Software\\Orvanta\\Spectrophotometers\\VK605]\r\nA=1\r\nCalveraID=23\r\n");
}

TEST(IniTextSerialise, KeepsByteOrderMarkAndConvertsLineEnds) {
  IniText ini("\xEF\xBB\xBF[MAIN]\nA=1\r\nB=2");
  EXPECT_EQ(ini.Serialise(), "\xEF\xBB\xBF[MAIN]\r\nA=1\r\nB=2\r\n");
}

TEST(IniTextSerialise, KeepsAOneMegabyteGarbageLine) {
  std::string line(1 << 20, '\x7f');
  IniText ini(line + "\n");
  ini.Set("MAIN", "PORT", "COM1:");
  EXPECT_EQ(ini.Serialise(), line + "\r\n[MAIN]\r\nPORT=COM1:\r\n");
}

TEST(IniTextEntries, ListsTheFirstSectionsKeysInOrderEachOnce) {
  IniText ini(
      "[OTHER]\r\nX=0\r\n[Main]\r\n; PORT=COM9:\r\nPort = COM1: \r\nnot a key\r\nBAUDRATE=9600\r\n"
      "port=COM2:\r\n\r\n[MAIN]\r\nLATER=1\r\n");
  EXPECT_EQ(ini.Entries("MAIN"), (std::vector<IniEntry>{{"Port", "COM1:"}, {"BAUDRATE", "9600"}}));
  EXPECT_EQ(ini.Entries("other"), (std::vector<IniEntry>{{"X", "0"}}));
}

TEST(IniTextEntries, MissingOrEmptySectionHasNone) {
  IniText ini("[EMPTY]\n\n[FULL]\nA=1\n");
  EXPECT_TRUE(ini.Entries("EMPTY").empty());
  EXPECT_TRUE(ini.Entries("NONE").empty());
}

TEST(IniTextEditedStyle, KeepsLineFeedsAndSeparatesANewSectionWithABlankLine) {
  IniText ini("[A]\nX=1\n", SectionNames::kPlain, IniStyle::kEdited);
  ini.Set("A", "X", "2");
  ini.Set("B", "Y", "3");
  EXPECT_EQ(ini.Serialise(), "[A]\nX=2\n\n[B]\nY=3\n");
}

TEST(IniTextEditedStyle, KeepsCrLfAndAddsNoSecondBlankLine) {
  IniText ini("[A]\r\nX=1\n\r\n", SectionNames::kPlain, IniStyle::kEdited);
  ini.Set("B", "Y", "3");
  EXPECT_EQ(ini.Serialise(), "[A]\r\nX=1\r\n\r\n[B]\r\nY=3\r\n");
}

TEST(IniTextEditedStyle, EmptyTextStartsWithTheSectionAndCrLf) {
  IniText ini("", SectionNames::kKeyPaths, IniStyle::kEdited);
  ini.Set("Software\\Orvanta", "Name", "v");
  EXPECT_EQ(ini.Serialise(), "[Software\\Orvanta]\r\nName=v\r\n");
}

TEST(IniTextProfileStyle, WritesCrLfAndNoBlankLineBeforeANewSection) {
  IniText ini("[A]\nX=1\n");
  ini.Set("B", "Y", "3");
  EXPECT_EQ(ini.Serialise(), "[A]\r\nX=1\r\n[B]\r\nY=3\r\n");
}

struct IntCase {
  const char* text;
  int expected;
};

class ProfileIntFromTextTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntFromTextTest, ReadsTheDecimalPrefix) {
  EXPECT_EQ(ProfileIntFromText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileIntFromTextTest,
                         ::testing::Values(IntCase{"12", 12}, IntCase{"-1", -1}, IntCase{"  -1", -1},
                                           IntCase{"+5", 5}, IntCase{"abc", 0}, IntCase{"7x", 7},
                                           IntCase{"-", 0}, IntCase{"0012", 12}, IntCase{"1 2", 1},
                                           IntCase{"--3", 0}, IntCase{"65535", 65535},
                                           IntCase{"2147483647", 2147483647},
                                           // Beyond 32 bits the digits wrap as an unsigned accumulation.
                                           IntCase{"4294967295", -1}, IntCase{"4294967296", 0},
                                           IntCase{"-2147483648", -2147483647 - 1}));

TEST(NormaliseKeyPath, CollapsesRunsAndDropsOuterSeparators) {
  EXPECT_EQ(NormaliseKeyPath("Software\\Orvanta\\\\Spectrophotometers\\VK605"),
            "Software\\Orvanta\\Spectrophotometers\\VK605");
  EXPECT_EQ(NormaliseKeyPath("\\\\A\\\\\\B\\\\"), "A\\B");
  EXPECT_EQ(NormaliseKeyPath("\\\\"), "");
  EXPECT_EQ(NormaliseKeyPath("Plain"), "Plain");
}

}  // namespace
}  // namespace vk605
