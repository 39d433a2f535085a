// The vk605 program's own pieces, without a driver: INI editing, number and JSON text, the command line,
// CIEDE2000 and the answers given to the driver's questions.
#include <gtest/gtest.h>

#include "base/ini_text.h"
#include "colorimetry.h"
#include "command_line.h"
#include "terminal_ui.h"
#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {
namespace {

// The tool edits the driver's files as a person's editor would: IniText in the edited style.
TEST(ToolIniEditing, EditsOneKeyAndKeepsEveryOtherLine) {
  IniText ini("[MAIN]\r\nPORT=COM1:\r\n; comment\r\nBAUDRATE=9600\r\n\r\n[CALIBRATION]\r\nHOURS=4\r\n",
              SectionNames::kPlain, IniStyle::kEdited);
  EXPECT_EQ(ini.Find("main", "port").value(), "COM1:");
  ini.Set("Main", "Port", "/dev/pts/3");
  ini.Set("CALIBRATION", "bMEASUREMENTS", "1");
  EXPECT_EQ(ini.Serialise(),
            "[MAIN]\r\nPORT=/dev/pts/3\r\n; comment\r\nBAUDRATE=9600\r\n\r\n[CALIBRATION]\r\nHOURS=4\r\n"
            "bMEASUREMENTS=1\r\n");
}

TEST(ToolIniEditing, NewSectionGoesAtTheEndWithTheFilesLineEnds) {
  IniText ini("[A]\nX=1\n", SectionNames::kKeyPaths, IniStyle::kEdited);
  ini.Set("Software\\Orvanta\\Spectrophotometers\\VK605", "DiagnosticsFileName", "/tmp/t.log");
  EXPECT_EQ(ini.Serialise(),
            "[A]\nX=1\n\n[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=/tmp/t.log\n");
  EXPECT_TRUE(ini.HasSection("software\\orvanta\\\\spectrophotometers\\vk605\\"));
  EXPECT_FALSE(ini.Find("A", "Y").has_value());
}

TEST(TextFormat, NumbersAndJsonText) {
  EXPECT_EQ(FormatFixed(76.0694, 2), "76.07");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");  // no "-0.00"
  EXPECT_EQ(FormatFixed(-1.5, 1), "-1.5");
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(JsonObject().Add("k", "v").Add("n", 3).Add("x", 0.5, 2).Add("b", false).Text(),
            "{\"k\":\"v\",\"n\":3,\"x\":0.50,\"b\":false}");
}

Invocation Parse(std::vector<std::string> words) {
  std::vector<char*> argv{const_cast<char*>("vk605")};
  for (std::string& word : words) argv.push_back(word.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, GlobalOptionsAnywhereCommandOptionsPassThrough) {
  Invocation invocation = Parse(
      {"measure", "-n", "3", "--simulate", "--sim-arg", "--serial=9", "--answer=ok", "--format", "csv"});
  EXPECT_EQ(invocation.command, "measure");
  EXPECT_TRUE(invocation.global.simulate);
  EXPECT_EQ(invocation.global.sim_args, std::vector<std::string>{"--serial=9"});
  EXPECT_EQ(invocation.global.ok, std::optional<bool>(true));
  EXPECT_FALSE(invocation.global.yes.has_value());
  CommandArgs args("measure", invocation.args, {"-n", "--format"}, {"--trigger"});
  EXPECT_EQ(args.Value("-n").value(), "3");
  EXPECT_EQ(args.Value("--format").value(), "csv");
  EXPECT_FALSE(args.Has("--trigger"));
}

TEST(CommandLine, MistakesAreUsageErrors) {
  auto usage = [](const std::function<void()>& parse) {
    try {
      parse();
    } catch (const ToolError& error) {
      return error.Code() == ExitCode::kUsage;
    }
    return false;
  };
  EXPECT_TRUE(usage([] { Parse({"status", "--port"}); }));
  EXPECT_TRUE(usage([] { Parse({"status", "--answer", "maybe"}); }));
  EXPECT_TRUE(usage([] { CommandArgs("measure", {"--bogus"}, {}, {}); }));
  EXPECT_TRUE(usage([] { CommandArgs("measure", {"-n"}, {"-n"}, {}); }));
  EXPECT_TRUE(usage([] { ParseCount("12x", 1, 100, "-n"); }));
  EXPECT_TRUE(usage([] { ParseCount("101", 1, 100, "-n"); }));
  EXPECT_EQ(ParseCount("100", 1, 100, "-n"), 100);
}

// Pairs 1 and 17 of Sharma, Wu and Dalal's CIEDE2000 test data.
TEST(Colorimetry, DeltaE2000OfPublishedPairs) {
  EXPECT_NEAR(Colorimeter::DeltaE2000({50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}), 2.0425, 1e-4);
  EXPECT_NEAR(Colorimeter::DeltaE2000({50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}), 27.1492, 1e-4);
}

TEST(Colorimetry, PerfectWhiteIsTheWhitePoint) {
  Colorimeter colorimeter;
  Spectrum white;
  white.fill(1.0);
  Lab lab = colorimeter.ToLab(colorimeter.ToXyz(white));
  EXPECT_NEAR(lab.l, 100.0, 1e-9);
  EXPECT_NEAR(lab.a, 0.0, 1e-9);
  EXPECT_NEAR(lab.b, 0.0, 1e-9);
  // D65 with the 10 degree observer: X = 94.81, Z = 107.32 (CIE 15).
  EXPECT_NEAR(colorimeter.White().x, 94.81, 0.05);
  EXPECT_NEAR(colorimeter.White().z, 107.32, 0.05);
  Rgb8 rgb = colorimeter.ToSrgb(lab);
  EXPECT_EQ(rgb.r, 255);
  EXPECT_EQ(rgb.g, 255);
  EXPECT_EQ(rgb.b, 255);
}

TEST(Colorimetry, MissingColourDataIsReported) {
  try {
    Colorimeter colorimeter("D65", "10", "/nonexistent");
    FAIL();
  } catch (const ToolError& error) {
    EXPECT_EQ(error.Code(), ExitCode::kFailure);
    EXPECT_NE(std::string(error.what()).find("colord-data"), std::string::npos);
  }
}

int Ask(const TerminalUi& ui, const char* text, unsigned type) {
  const VK605UiHandler* handler = ui.Handler();
  return handler->message_box(handler->context, text, "VK605", type);
}

TEST(TerminalUi, ScriptedAnswersAndTheSafeDefaults) {
  PromptPolicy none;
  TerminalUi quiet(none);
  EXPECT_EQ(Ask(quiet, "question?", 0x24), 7);  // Yes/No -> No
  EXPECT_EQ(Ask(quiet, "calibrate", 0x01), 2);  // OK/Cancel -> Cancel
  EXPECT_EQ(Ask(quiet, "note", 0x30), 1);       // OK -> OK
  EXPECT_EQ(quiet.Messages(), (std::vector<std::string>{"question?", "calibrate", "note"}));
  PromptPolicy yes;
  yes.yes = true;
  yes.ok = true;
  TerminalUi eager(yes);
  EXPECT_EQ(Ask(eager, "question?", 0x24), 6);
  for (int i = 0; i < TerminalUi::kMaxRepeatedAnswers; ++i) EXPECT_EQ(Ask(eager, "calibrate", 0x01), 1);
  EXPECT_EQ(Ask(eager, "calibrate", 0x01), 2);  // the eleventh identical OK becomes Cancel
  EXPECT_EQ(Ask(eager, "another", 0x01), 1);
}

}  // namespace
}  // namespace vk605::tool
