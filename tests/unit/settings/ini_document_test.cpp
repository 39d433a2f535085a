#include "settings/ini_document.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_private_profile.h"

namespace vk605 {
namespace {

constexpr const char* kFile = "C:\\DRV\\A1234.INI";

class IniDocumentTest : public ::testing::Test {
 protected:
  IniDocumentTest() { current_.Set(kFile); }

  std::string Stored(const char* section, const char* key) {
    return profile_.Value(kFile, section, key).value_or("<absent>");
  }

  CurrentSettingsFile current_;
  testing::FakePrivateProfile profile_;
};

TEST_F(IniDocumentTest, LoadingAnAbsentWordWritesTheSectionAndTheDefault) {
  IniDocument document("CALIBRATION", current_, profile_);
  std::uint16_t hours = 4;
  EXPECT_EQ(document.ExchangeWord("HOURS", &hours, 0), 1);
  EXPECT_EQ(hours, 4);
  EXPECT_EQ(profile_.Dump(kFile), "[CALIBRATION]\r\nHOURS=4\r\n");
}

TEST_F(IniDocumentTest, WordKeepsTheLow16BitsOfTheStoredNumber) {
  profile_.WriteString("CALIBRATION", "HOURS", "-1", kFile);
  profile_.WriteString("CALIBRATION", "MINUTES", "70000", kFile);
  IniDocument document("CALIBRATION", current_, profile_);
  std::uint16_t hours = 4;
  std::uint16_t minutes = 0;
  document.ExchangeWord("HOURS", &hours, 0);
  document.ExchangeWord("MINUTES", &minutes, 0);
  EXPECT_EQ(hours, 65535);
  EXPECT_EQ(Stored("CALIBRATION", "HOURS"), "65535");
  EXPECT_EQ(minutes, 70000 - 65536);
  EXPECT_EQ(Stored("CALIBRATION", "MINUTES"), "4464");
}

TEST_F(IniDocumentTest, SaveOnlyWritesWithoutReading) {
  profile_.WriteString("CALIBRATION", "HOURS", "9", kFile);
  profile_.calls.clear();
  IniDocument document("CALIBRATION", current_, profile_);
  std::uint16_t hours = 65535;
  std::int32_t count = -7;
  EXPECT_EQ(document.ExchangeWord("HOURS", &hours, 1), 1);
  EXPECT_EQ(document.ExchangeInt("MEASUREMENT_COUNT", &count, 1), 1);
  EXPECT_EQ(hours, 65535);
  EXPECT_EQ(profile_.calls,
            (std::vector<std::string>{"write C:\\DRV\\A1234.INI [CALIBRATION] HOURS=65535",
                                      "write C:\\DRV\\A1234.INI [CALIBRATION] MEASUREMENT_COUNT=-7"}));
}

struct ExchangeIntCase {
  const char* stored;  // nullptr: key absent
  std::int32_t expected;
  const char* written;
};

class IniDocumentIntTest : public IniDocumentTest, public ::testing::WithParamInterface<ExchangeIntCase> {};

TEST_P(IniDocumentIntTest, LoadsThePlatformReadingAndWritesItBack) {
  if (GetParam().stored != nullptr) profile_.WriteString("MAIN", "BAUDRATE", GetParam().stored, kFile);
  IniDocument document("MAIN", current_, profile_);
  std::int32_t value = 9600;
  EXPECT_EQ(document.ExchangeInt("BAUDRATE", &value, 0), 1);
  EXPECT_EQ(value, GetParam().expected);
  EXPECT_EQ(Stored("MAIN", "BAUDRATE"), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniDocumentIntTest,
    ::testing::Values(ExchangeIntCase{nullptr, 9600, "9600"}, ExchangeIntCase{"", 9600, "9600"},
                      ExchangeIntCase{"115200", 115200, "115200"}, ExchangeIntCase{"-5", -5, "-5"},
                      ExchangeIntCase{"19200baud", 19200, "19200"}, ExchangeIntCase{"fast", 0, "0"}));

TEST_F(IniDocumentTest, StringKeyWithEmptyValueKeepsTheDefault) {
  profile_.WriteString("MAIN", "PARITY", "", kFile);
  IniDocument document("MAIN", current_, profile_);
  std::string parity = "N";
  document.ExchangeString("PARITY", &parity, 0);
  EXPECT_EQ(parity, "N");
  EXPECT_EQ(Stored("MAIN", "PARITY"), "N");
}

TEST_F(IniDocumentTest, StringKeyStoredReplacesTheDefaultAndIsWrittenAsRead) {
  profile_.WriteString("MAIN", "PARITY", "X", kFile);
  IniDocument document("MAIN", current_, profile_);
  std::string parity = "N";
  document.ExchangeString("PARITY", &parity, 0);
  EXPECT_EQ(parity, "X");
  EXPECT_EQ(Stored("MAIN", "PARITY"), "X");
}

TEST_F(IniDocumentTest, EmptyStringStaysEmptyAndTheKeyIsCreated) {
  IniDocument document("CALIBRATION", current_, profile_);
  std::string text;
  document.ExchangeString("EXPIRATION", &text, 0);
  EXPECT_EQ(text, "");
  EXPECT_EQ(profile_.Dump(kFile), "[CALIBRATION]\r\nEXPIRATION=\r\n");
}

TEST_F(IniDocumentTest, TextKeyWithEmptyValueKeepsTheBufferText) {
  profile_.WriteString("MAIN", "PORT", "", kFile);
  IniDocument document("MAIN", current_, profile_);
  char port[20] = "COM1:";
  document.ExchangeText("PORT", port, sizeof port, 0);
  EXPECT_STREQ(port, "COM1:");
  EXPECT_EQ(Stored("MAIN", "PORT"), "COM1:");
}

TEST_F(IniDocumentTest, TextLongerThanTheBufferIsCutAndWrittenBackCut) {
  profile_.WriteString("MAIN", "PORT", "/dev/serial/by-id/usb-FTDI-0001", kFile);
  IniDocument document("MAIN", current_, profile_);
  char port[21];
  std::memset(port, '#', sizeof port);
  port[0] = '\0';
  document.ExchangeText("PORT", port, 20, 0);
  EXPECT_STREQ(port, "/dev/serial/by-id/u");
  EXPECT_EQ(port[20], '#');  // nothing written past the stated capacity
  EXPECT_EQ(Stored("MAIN", "PORT"), "/dev/serial/by-id/u");
}

// A host's text with a line end must not add lines (keys, sections) to the settings file.
TEST_F(IniDocumentTest, TextIsWrittenUpToItsFirstLineEnd) {
  IniDocument document("MAIN", current_, profile_);
  char language[32] = "English\r\n[MAIN]\r\nPORT=x";
  document.ExchangeText("LANGUAGE", language, sizeof language, 1);
  std::string mode = "R\nMODE=9";
  document.ExchangeString("MODE", &mode, 1);
  EXPECT_EQ(profile_.Dump(kFile), "[MAIN]\r\nLANGUAGE=English\r\nMODE=R\r\n");
}

// Found by fuzzing: a value with a CR inside its line was returned whole but written back cut at the CR,
// so the second load gave another text than the first.
TEST_F(IniDocumentTest, LoadedTextEndsAtACarriageReturnInsideTheLine) {
  profile_.WriteString("WHITENESS", "X", "1e-0.00001\r\x02", kFile);
  profile_.WriteString("WHITENESS", "Y", "a\rb", kFile);
  IniDocument document("WHITENESS", current_, profile_);
  char first[64] = "";
  document.ExchangeText("X", first, sizeof first, 0);
  EXPECT_STREQ(first, "1e-0.00001");
  char second[64] = "";
  document.ExchangeText("X", second, sizeof second, 0);
  EXPECT_STREQ(second, "1e-0.00001");
  std::string y = "default";
  document.ExchangeString("Y", &y, 0);
  EXPECT_EQ(y, "a");
  EXPECT_EQ(profile_.Dump(kFile), "[WHITENESS]\r\nX=1e-0.00001\r\nY=a\r\n");
}

TEST_F(IniDocumentTest, ReadTextTakesTheFirstLineAndWritesNothing) {
  profile_.WriteString("MAIN", "PORT", "/dev/serial/by-id/usb-FTDI-0001\rx", kFile);
  IniDocument document("MAIN", current_, profile_);
  EXPECT_EQ(document.ReadText("PORT"), "/dev/serial/by-id/usb-FTDI-0001");
  EXPECT_EQ(document.ReadText("ABSENT"), "");
  EXPECT_EQ(document.ReadText(nullptr), "");
  EXPECT_EQ(profile_.Dump(kFile), "[MAIN]\r\nPORT=/dev/serial/by-id/usb-FTDI-0001\rx\r\n");
}

TEST_F(IniDocumentTest, TextSaveOnlyWritesTheBuffer) {
  IniDocument document("CALIBRATION", current_, profile_);
  char date[80] = "07/30/2004 14:05:09";
  document.ExchangeText("CALIBRATION_DATE", date, sizeof date, 1);
  EXPECT_EQ(Stored("CALIBRATION", "CALIBRATION_DATE"), "07/30/2004 14:05:09");
}

TEST_F(IniDocumentTest, DoubleKeepsTheStoredPrecisionAndRewritesRounded) {
  profile_.WriteString("MAIN", "D", "0.00086", kFile);
  IniDocument document("MAIN", current_, profile_);
  document.SetNumberFormat("%.4f");
  double d = 0.0008;
  document.ExchangeDouble("D", &d, 0);
  EXPECT_DOUBLE_EQ(d, 0.00086);
  EXPECT_EQ(Stored("MAIN", "D"), "0.0009");
  document.ExchangeDouble("D", &d, 0);
  EXPECT_DOUBLE_EQ(d, 0.0009);
}

TEST_F(IniDocumentTest, DoubleUsesTheDefaultFormatUntilAnotherIsSet) {
  IniDocument document("MAIN", current_, profile_);
  double d = 0.0008;
  document.ExchangeDouble("D", &d, 1);
  EXPECT_EQ(Stored("MAIN", "D"), "0.00");
  document.SetNumberFormat("");  // an empty format changes nothing
  double phi = 15.0;
  document.ExchangeDouble("PHI", &phi, 0);
  EXPECT_EQ(Stored("MAIN", "PHI"), "15.00");
  EXPECT_DOUBLE_EQ(phi, 15.0);
}

struct DoubleCase {
  const char* stored;
  double expected;
};

class IniDocumentDoubleTest : public IniDocumentTest, public ::testing::WithParamInterface<DoubleCase> {};

TEST_P(IniDocumentDoubleTest, ReadsTheLongestNumericPrefix) {
  profile_.WriteString("MAIN", "k", GetParam().stored, kFile);
  IniDocument document("MAIN", current_, profile_);
  double k = 68.261;
  document.ExchangeDouble("k", &k, 0);
  if (std::isinf(GetParam().expected)) {
    EXPECT_EQ(k, GetParam().expected);
  } else {
    EXPECT_DOUBLE_EQ(k, GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, IniDocumentDoubleTest,
                         ::testing::Values(DoubleCase{"12.5abc", 12.5}, DoubleCase{"abc", 0.0},
                                           DoubleCase{"", 0.0}, DoubleCase{"+3", 3.0}, DoubleCase{"+-3", 0.0},
                                           DoubleCase{"-2.5e1x", -25.0}, DoubleCase{".5", 0.5},
                                           DoubleCase{"7.", 7.0}, DoubleCase{"1e", 1.0},
                                           DoubleCase{"0,5", 0.0},
                                           DoubleCase{"1e400", std::numeric_limits<double>::infinity()},
                                           DoubleCase{"-1e400", -std::numeric_limits<double>::infinity()},
                                           DoubleCase{"1e-400", 0.0}, DoubleCase{"0.0000e-400", 0.0}));

TEST_F(IniDocumentTest, NonNumericDoubleIsRewrittenAsZero) {
  profile_.WriteString("MAIN", "PHI", "fifteen", kFile);
  IniDocument document("MAIN", current_, profile_);
  document.SetNumberFormat("%.4f");
  double phi = 15.0;
  document.ExchangeDouble("PHI", &phi, 0);
  EXPECT_EQ(phi, 0.0);
  EXPECT_EQ(Stored("MAIN", "PHI"), "0.0000");
}

TEST_F(IniDocumentTest, DoubleTextDoesNotFollowTheHostLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8",          "de_DE",
                         "fr_FR.UTF-8", "German_Germany.1252", "German"};
  bool comma_locale = false;
  for (const char* name : names) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr &&
        std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
      comma_locale = true;
      break;
    }
  }
  if (!comma_locale) {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  profile_.WriteString("MAIN", "D", "0.00086", kFile);
  IniDocument document("MAIN", current_, profile_);
  document.SetNumberFormat("%.4f");
  double d = 0.0008;
  document.ExchangeDouble("D", &d, 0);
  std::string written = Stored("MAIN", "D");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_DOUBLE_EQ(d, 0.00086);
  EXPECT_EQ(written, "0.0009");
}

TEST_F(IniDocumentTest, EveryAccessGoesToTheFileCurrentAtThatMoment) {
  current_.Set("C:\\DRV\\VK605.INI");
  profile_.WriteString("CALIBRATION", "HOURS", "8", kFile);
  IniDocument document("CALIBRATION", current_, profile_);
  std::uint16_t hours = 4;
  document.Open(kFile);
  EXPECT_EQ(current_.Get(), kFile);
  document.ExchangeWord("HOURS", &hours, 0);
  document.Close();
  EXPECT_EQ(current_.Get(), "C:\\DRV\\VK605.INI");
  EXPECT_EQ(hours, 8);
  std::uint16_t minutes = 0;
  document.ExchangeWord("MINUTES", &minutes, 0);
  EXPECT_EQ(profile_.Dump("C:\\DRV\\VK605.INI"), "[CALIBRATION]\r\nMINUTES=0\r\n");
  EXPECT_FALSE(profile_.Value(kFile, "CALIBRATION", "MINUTES").has_value());
}

TEST_F(IniDocumentTest, OpenWithAnEmptyPathAndCloseLeaveTheCurrentFile) {
  IniDocument document("MAIN", current_, profile_);
  document.Open("");
  EXPECT_EQ(current_.Get(), kFile);
  document.Close();
  EXPECT_EQ(current_.Get(), kFile);
}

TEST_F(IniDocumentTest, NestedOpensCloseInReverseOrder) {
  IniDocument outer("MAIN", current_, profile_);
  IniDocument inner("CALIBRATION", current_, profile_);
  outer.Open("/a.INI");
  inner.Open("/b.INI");
  inner.Open("/c.INI");
  EXPECT_EQ(current_.Get(), "/c.INI");
  inner.Close();
  EXPECT_EQ(current_.Get(), "/b.INI");
  inner.Close();
  EXPECT_EQ(current_.Get(), "/a.INI");
  inner.Close();  // nothing left to restore
  EXPECT_EQ(current_.Get(), "/a.INI");
  outer.Close();
  EXPECT_EQ(current_.Get(), kFile);
}

TEST_F(IniDocumentTest, DestructionDoesNotRestoreAnUnclosedFile) {
  {
    IniDocument document("MAIN", current_, profile_);
    document.Open("/other.INI");
  }
  EXPECT_EQ(current_.Get(), "/other.INI");
}

TEST_F(IniDocumentTest, UnreadableFileKeepsTheCallersValuesAndUnwritableOneStillReturnsOne) {
  profile_.WriteString("MAIN", "MODE", "3", kFile);
  profile_.SetUnreadable(kFile);
  profile_.SetUnwritable(kFile);
  IniDocument document("MAIN", current_, profile_);
  std::int32_t mode = 0;
  std::string parity = "E";
  EXPECT_EQ(document.ExchangeInt("MODE", &mode, 0), 1);
  EXPECT_EQ(document.ExchangeString("PARITY", &parity, 0), 1);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(parity, "E");
  EXPECT_EQ(Stored("MAIN", "MODE"), "3");
}

TEST_F(IniDocumentTest, SectionAndKeyNamesCompareWithoutCase) {
  profile_.WriteString("calibration", "hours", "12", kFile);
  IniDocument document("CALIBRATION", current_, profile_);
  std::uint16_t hours = 4;
  document.ExchangeWord("HOURS", &hours, 0);
  EXPECT_EQ(hours, 12);
  EXPECT_EQ(profile_.Dump(kFile), "[calibration]\r\nhours=12\r\n");
}

}  // namespace
}  // namespace vk605
