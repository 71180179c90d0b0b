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
  const std::string head = "Duration: ";
  for (std::size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
    std::size_t end = at + head.size();
    while (end < log.size() && log[end] >= '0' && log[end] <= '9') ++end;
    if (end > at + head.size()) log.replace(at + head.size(), end - at - head.size(), "N");
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

TEST(ConsoleOutput, TaskFrameIsTheLogsAndTheBarNeverReachesIt) {
  Streams streams;
  {
    ConsoleOutput output(streams.Log, streams.Bar, true);
    output.beginTask("Importing");
    output.setProgress(10);
    output.writeLine("Mesh Size (1|2|3)");
    output.setProgress(10);
    output.setProgress(90);
    output.writeLine("");
    output.endTask();
  }
  const std::string log = contents(streams.Log);
  EXPECT_EQ(withoutDurations(log),
            "--------------- begin \nImporting\nMesh Size (1|2|3)\n\nDuration: N ms\n--------------- end\n");
  const std::string bar = contents(streams.Bar);
  EXPECT_NE(bar.find(" 10% Importing"), std::string::npos) << bar;
  EXPECT_NE(bar.find(" 90% Importing"), std::string::npos) << bar;
  // The last thing on the terminal is the erased bar.
  EXPECT_EQ(bar.rfind("\r\033[K"), bar.size() - 4) << "bar left on the terminal";
}

TEST(ConsoleOutput, NoBarWhenStandardErrorIsNoTerminal) {
  Streams streams;
  {
    ConsoleOutput output(streams.Log, streams.Bar, false);
    output.beginTask("Marching");
    output.setProgress(50);
    output.endTask();
  }
  EXPECT_EQ(contents(streams.Bar), "");
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

TEST(ConsoleOutput, SecondBeginRestartsTheFrameWithoutNesting) {
  Streams streams;
  {
    ConsoleOutput output(streams.Log, streams.Bar, false);
    output.beginTask("A");
    output.beginTask("B");
    output.endTask();
  }
  EXPECT_EQ(withoutDurations(contents(streams.Log)),
            "--------------- begin \nA\n--------------- begin \nB\nDuration: N ms\n--------------- end\n");
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
  const std::string bar = contents(streams.Bar);
  EXPECT_NE(bar.find(" 30% Marching\r\033[KMarching Cubes: damaged table\n"), std::string::npos) << bar;
  EXPECT_EQ(contents(streams.Log).find("Marching Cubes:"), std::string::npos);
  // Without a terminal the diagnostics stream is left alone.
  DiagnosticsCapture capture;
  { ConsoleOutput plain(streams.Log, streams.Bar, false); }
  Diagnostics::write("after\n");
  EXPECT_EQ(capture.Text, "after\n");
}
