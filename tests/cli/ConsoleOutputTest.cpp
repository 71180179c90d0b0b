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
  return text;
}

// The log with the number of every "Duration: N ms" line replaced by N.
std::string withoutDurations(std::string log) {
  for (std::size_t at = log.find("Duration: "); at != std::string::npos; at = log.find("Duration: ", at + 1)) {
    const std::size_t digits = log.find_first_not_of("0123456789", at + 10);
    log.replace(at + 10, digits - at - 10, "N");
  }
  return log;
}

struct Streams {
  std::FILE* Log = std::tmpfile();
  std::FILE* Bar = std::tmpfile();
  ~Streams() {
    std::fclose(Log);
    std::fclose(Bar);
  }
};

}  // namespace

// The task frame is the log's; the bar (on a terminal only) never reaches it and is erased at the
// end; a second begin restarts the frame without nesting.
TEST(ConsoleOutput, TaskFrameInTheLogAndTheBarOnTheTerminal) {
  for (bool terminal : {true, false}) {
    Streams streams;
    {
      ConsoleOutput output(streams.Log, streams.Bar, terminal);
      output.beginTask("Voxelization");
      output.beginTask("Importing");
      output.setProgress(10);
      output.writeLine("Mesh Size (1|2|3)");
      output.setProgress(10);
      output.setProgress(90);
      output.writeLine("");
      output.endTask();
    }
    EXPECT_EQ(withoutDurations(contents(streams.Log)),
              "--------------- begin \nVoxelization\n--------------- begin \nImporting\nMesh Size (1|2|3)\n\n"
              "Duration: N ms\n--------------- end\n");
    const std::string bar = contents(streams.Bar);
    if (!terminal) {
      EXPECT_EQ(bar, "");
      continue;
    }
    EXPECT_NE(bar.find(" 10% Importing"), std::string::npos) << bar;
    EXPECT_NE(bar.find(" 90% Importing"), std::string::npos) << bar;
    EXPECT_EQ(bar.rfind("\r\033[K"), bar.size() - 4) << "bar left on the terminal";
  }
}

TEST(ConsoleOutput, QuietSilencesLogAndBarUntilSwitchedOff) {
  Streams streams;
  {
    ConsoleOutput output(streams.Log, streams.Bar, true);
    output.setQuiet(true);
    output.beginTask("Importing");
    output.setProgress(40);
    output.writeLine("hidden");
    output.endTask();
    output.setQuiet(false);
    output.writeLine("Total : 6");
  }
  EXPECT_EQ(contents(streams.Log), "Total : 6\n");
  EXPECT_EQ(contents(streams.Bar), "");
}

TEST(ConsoleOutput, DiagnosticsOnATerminalEraseTheBarFirst) {
  Streams streams;
  {
    ConsoleOutput output(streams.Log, streams.Bar, true);
    output.beginTask("Marching");
    output.setProgress(30);
    Diagnostics::write("Marching Cubes: damaged table\n");
    output.endTask();
  }
  EXPECT_NE(contents(streams.Bar).find(" 30% Marching\r\033[KMarching Cubes: damaged table\n"), std::string::npos);
  EXPECT_EQ(contents(streams.Log).find("Marching Cubes:"), std::string::npos);
  // Without a terminal the diagnostics stream is left alone.
  DiagnosticsCapture capture;
  { ConsoleOutput plain(streams.Log, streams.Bar, false); }
  Diagnostics::write("after\n");
  EXPECT_EQ(capture.Text, "after\n");
}
