#include "ConsoleOutput.h"
#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace tessellor;

namespace {

std::string contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

}  // namespace

// The task frame is the log's; a second begin restarts it without nesting. The bar (on a terminal
// only) never reaches the log and is erased at the end; a diagnostic on a terminal erases it
// first. --quiet silences log and bar until switched off.
TEST(ConsoleOutput, TaskFrameInTheLogAndTheBarOnTheTerminal) {
  for (bool terminal : {true, false}) {
    std::FILE *log = std::tmpfile(), *bar = std::tmpfile();
    {
      ConsoleOutput output(log, bar, terminal);
      output.beginTask("Voxelization");
      output.beginTask("Importing");
      output.setProgress(10);
      output.writeLine("Mesh Size (1|2|3)");
      output.setProgress(90);
      Diagnostics::write("damaged table\n");
      output.setProgress(95);
      output.writeLine("");
      output.endTask();
      output.setQuiet(true);
      output.beginTask("Marching");
      output.setProgress(40);
      output.writeLine("hidden");
      output.endTask();
      output.setQuiet(false);
      output.writeLine("Total : 6");
    }
    std::string text = contents(log);
    const std::size_t duration = text.find("Duration: ");
    ASSERT_NE(duration, std::string::npos);
    text.erase(duration + 10, text.find(" ms", duration) - duration - 10);
    EXPECT_EQ(text,
              "--------------- begin \nVoxelization\n--------------- begin \nImporting\nMesh Size (1|2|3)\n\n"
              "Duration:  ms\n--------------- end\nTotal : 6\n");
    const std::string shown = contents(bar);
    if (!terminal) {
      EXPECT_EQ(shown, "") << "no bar, and diagnostics go their own way";
      continue;
    }
    EXPECT_NE(shown.find(" 10% Importing"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 90% Importing\r\033[Kdamaged table\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Marching"), std::string::npos) << "--quiet";
    EXPECT_EQ(shown.rfind("\r\033[K"), shown.size() - 4) << "bar left on the terminal";
  }
  DiagnosticsCapture capture;
  { ConsoleOutput plain(std::tmpfile(), std::tmpfile(), false); }
  Diagnostics::write("after\n");
  EXPECT_EQ(capture.Text, "after\n") << "without a terminal the diagnostics stream is left alone";
}
