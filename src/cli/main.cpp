// tessellor-cli: the command-line front-end. Parses arguments, wires a console status output to
// the stages and maps errors to exit codes: 0 success, 1 bad input or failed work, 2 usage error,
// 130 stopped by Ctrl-C (nothing written).
#include "Command.h"
#include "ConsoleOutput.h"
#include "ConvertCommand.h"
#include "HugePages.h"
#include "InfoCommand.h"
#include "MeshCommand.h"
#include "QualityCommand.h"
#include "RemeshCommand.h"
#include "SignalInterrupter.h"
#include "VoxelizeCommand.h"
#include "base/TessellorError.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

using namespace tessellor;

namespace {

template <class T>
std::unique_ptr<Command> create() {
  return std::make_unique<T>();
}

// Every command, in the order the overall usage lists them. A new command is a new class and
// one line here.
struct CommandEntry {
  const char* Name;
  std::unique_ptr<Command> (*Create)();
};
// clang-format off
const CommandEntry Commands[] = {
    {"info", create<InfoCommand>},
    {"convert", create<ConvertCommand>},
    {"mesh", create<MeshCommand>},
    {"voxelize", create<VoxelizeCommand>},
    {"remesh", create<RemeshCommand>},
    {"quality", create<QualityCommand>},
};
// clang-format on

void printOverview(std::FILE* stream) {
  std::fputs("Usage: tessellor-cli COMMAND FILE [options]\n\nCommands:\n", stream);
  for (const CommandEntry& entry : Commands) {
    std::fprintf(stream, "  %-10s %s\n", entry.Name, entry.Create()->syntax().Summary);
  }
  std::fputs(
      "\n'tessellor-cli COMMAND --help' describes a command's options.\n"
      "Exit status: 0 success, 1 bad input or failed work, 2 usage error, 130 stopped by Ctrl-C.\n",
      stream);
}

// One line on standard error.
void printError(const std::string& message) {
  std::string line = message;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::fflush(stdout);
  std::fprintf(stderr, "tessellor-cli: %s\n", line.c_str());
}

int usageError(const char* command, const std::string& message) {
  printError((command ? std::string(command) + ": " : std::string()) + message);
  std::fprintf(stderr, "Try 'tessellor-cli %s--help'.\n", command ? (std::string(command) + " ").c_str() : "");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Only a run that does work is worth the restart.
  if (argc >= 3) HugePages::restartWithThem(argv);
  if (argc < 2) {
    printOverview(stderr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "--version") {
    std::printf("tessellor-cli %s\n", tessellor::version());
    return 0;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    printOverview(stdout);
    return 0;
  }
  std::unique_ptr<Command> command;
  for (const CommandEntry& entry : Commands)
    if (name == entry.Name) command = entry.Create();
  if (!command) return usageError(nullptr, "unknown command '" + name + "'");

  const std::vector<std::string> arguments(argv + 2, argv + argc);
  std::string input;
  try {
    const CommandLine args(command->syntax(), arguments);
    if (args.helpRequested()) {
      std::fputs(CommandLine::usage(command->syntax()).c_str(), stdout);
      return 0;
    }
    input = args.input();
    if (args.has("--threads")) setThreadCount(static_cast<int>(args.integer("--threads", 0, 0, 1024)));
    ConsoleOutput output;
    output.setQuiet(args.has("--quiet"));
    SignalInterrupter::install();
    command->run(args, output);
    // A log that could not be written (a full disk behind a redirection) is a failed run.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      printError("standard output: write error");
      return 1;
    }
    return 0;
  } catch (const UsageError& error) {
    return usageError(command->syntax().Name, error.what());
  } catch (const Cancelled& stop) {
    printError(stop.what());  // a batch may have finished some files: no file is named
    return 130;
  } catch (const PartialFailure& error) {
    printError(error.what());  // each failed file has been named already
  } catch (const FileError& error) {
    printError(error.what());  // names the file, and the line or byte where it went wrong
  } catch (const TessellorError& error) {
    printError(input + ": " + error.what());
  } catch (const std::bad_alloc&) {
    printError(input + ": out of memory");
  } catch (const std::exception& error) {
    printError(input + ": " + error.what());
  }
  return 1;
}
