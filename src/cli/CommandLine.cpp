#include "CommandLine.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace CommonOptions {
const OptionSyntax Output{"-o", "OUT", "output file"};
const OptionSyntax Format{"--format", "ply|obj|pc", "output format (default: from the output file's extension)"};
const OptionSyntax Quiet{"--quiet", nullptr, "do not print the task log"};
const OptionSyntax Threads{"--threads", "N",
                           "threads for the parallel passes (default 0: all cores); outputs are the same"};
const OptionSyntax OutputDir{"--output-dir", "DIR",
                             "several inputs: write each output into DIR, named after its input"};
const OptionSyntax Jobs{"--jobs", "N", "with --output-dir: files worked on at once (default: the number of cores)"};
}  // namespace CommonOptions

namespace {

bool declares(const CommandSyntax& syntax, const OptionSyntax& option) {
  for (const OptionSyntax& candidate : syntax.Options)
    if (std::string(candidate.Name) == option.Name) return true;
  return false;
}

bool isBatchOption(const OptionSyntax& option) {
  return std::string(option.Name) == CommonOptions::OutputDir.Name ||
         std::string(option.Name) == CommonOptions::Jobs.Name;
}

}  // namespace

CommandLine::CommandLine(const CommandSyntax& syntax, const std::vector<std::string>& args) : Syntax(syntax) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h") {
      // Help wins over every other mistake on the line.
      Help = true;
      return;
    }

  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (!Inputs.empty() && !declares(Syntax, CommonOptions::OutputDir))
        throw UsageError("unexpected argument '" + arg + "'");
      if (arg.empty()) throw UsageError("empty input file name");
      Inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSyntax* option = nullptr;
    for (const OptionSyntax& candidate : Syntax.Options)
      if (name == candidate.Name) option = &candidate;
    if (!option) throw UsageError("unknown option '" + name + "'");
    std::string value;
    if (option->ValueName) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else {
        if (i + 1 >= args.size()) throw UsageError("option '" + name + "' needs a value (" + option->ValueName + ")");
        value = args[++i];
      }
      if (value.empty()) throw UsageError("option '" + name + "' needs a value (" + option->ValueName + ")");
    } else if (equals != std::string::npos) {
      throw UsageError("option '" + name + "' takes no value");
    }
    Values[name] = value;
  }

  if (Inputs.empty()) throw UsageError(std::string("missing input file (") + Syntax.Input + ")");
  Output = value("-o");
  if (has("--output-dir")) {
    if (has("-o")) throw UsageError("-o OUT and --output-dir DIR exclude each other");
    for (const OptionSyntax& option : Syntax.Options)
      if (option.SingleInputOnly && has(option.Name))
        throw UsageError(std::string("option '") + option.Name + "' takes one input and -o OUT, not --output-dir");
  } else {
    if (Inputs.size() > 1) throw UsageError("several input files need --output-dir DIR");
    if (has("--jobs")) throw UsageError("option '--jobs' works with --output-dir DIR");
    if (Syntax.OutputRequired && Output.empty()) throw UsageError("missing output file (-o OUT)");
  }
  MeshFormat format;
  if (has("--format") && !tessellor::meshFormatFromName(value("--format"), format))
    throw UsageError("unknown format '" + value("--format") + "' (ply, obj or pc)");
}

std::string CommandLine::value(const std::string& option, const std::string& fallback) const {
  auto found = Values.find(option);
  return found == Values.end() ? fallback : found->second;
}

long long CommandLine::integer(const std::string& option, long long fallback, long long min, long long max) const {
  if (!has(option)) return fallback;
  const std::string text = value(option);
  char* end = nullptr;
  errno = 0;
  const long long result = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != 0 || result < min || result > max)
    throw UsageError("option '" + option + "' needs an integer from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
  return result;
}

double CommandLine::number(const std::string& option, double fallback, double min, double max) const {
  if (!has(option)) return fallback;
  const std::string text = value(option);
  char* end = nullptr;
  errno = 0;
  const double result = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str() || *end != 0 || !std::isfinite(result) || result < min || result > max)
    throw UsageError("option '" + option + "' needs a number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
  return result;
}

MeshFormat CommandLine::outputFormat() const {
  MeshFormat format;
  if (has("--format") && tessellor::meshFormatFromName(value("--format"), format)) return format;
  return formatOfPath(Output);
}

MeshFormat CommandLine::formatOfPath(const std::string& path) {
  MeshFormat format;
  if (!tessellor::meshFormatFromPath(path, format))
    throw UsageError("cannot tell the format of '" + path + "' (use .ply, .obj or .pc, or --format)");
  return format;
}

std::string CommandLine::usage(const CommandSyntax& syntax) {
  const bool batch = declares(syntax, CommonOptions::OutputDir);
  std::string text = std::string("Usage: tessellor-cli ") + syntax.Name + " " + syntax.Input;
  for (const OptionSyntax& option : syntax.Options) {
    if (isBatchOption(option)) continue;
    const bool required = syntax.OutputRequired && std::string(option.Name) == "-o";
    text += required ? " " : " [";
    text += option.Name;
    if (option.ValueName) text += std::string(" ") + option.ValueName;
    if (!required) text += "]";
  }
  if (batch) {
    text +=
        std::string("\n       tessellor-cli ") + syntax.Name + " " + syntax.Input + "... --output-dir DIR [--jobs N]";
    for (const OptionSyntax& option : syntax.Options) {
      if (isBatchOption(option) || option.SingleInputOnly || std::string(option.Name) == "-o") continue;
      text += std::string(" [") + option.Name + (option.ValueName ? std::string(" ") + option.ValueName : "") + "]";
    }
  }
  text += std::string("\n") + syntax.Summary + "\n";
  if (*syntax.Description) text += syntax.Description;
  text += "\nOptions:\n";
  for (const OptionSyntax& option : syntax.Options) {
    std::string left = std::string("  ") + option.Name + (option.ValueName ? std::string(" ") + option.ValueName : "");
    if (left.size() < 24)
      left.resize(24, ' ');
    else
      left += "  ";
    text += left + option.Help + "\n";
  }
  text += "  --help                show this help\n";
  return text;
}
