#pragma once

#include "tessellor/Tessellor.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

// A command line that a command cannot run with: exit status 2, with the command's usage hint.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The mesh file formats the writers produce.
using tessellor::MeshFormat;

// One option a command accepts, besides its input file.
struct OptionSyntax {
  const char* Name;       // "-o", "--format", "--max-voxels", ...
  const char* ValueName;  // nullptr for a switch, else shown in the usage ("OUT", "N")
  const char* Help;
  bool SingleInputOnly = false;  // refused with several inputs (--output-dir)
};

// What a command accepts: its name, a one-line summary, the input it takes and its options. A
// command that lists CommonOptions::OutputDir also takes several inputs with --output-dir DIR.
struct CommandSyntax {
  const char* Name;
  const char* Summary;      // one line, for the list of commands
  const char* Description;  // the rest of --help, before the options ("" for none)
  const char* Input;        // shown in the usage line, e.g. "IN"
  std::vector<OptionSyntax> Options;
  bool OutputRequired = false;  // -o OUT must be given
};

// The options every command shares, for building a CommandSyntax.
namespace CommonOptions {
extern const OptionSyntax Output;   // -o OUT
extern const OptionSyntax Format;   // --format ply|obj|pc
extern const OptionSyntax Quiet;    // --quiet
extern const OptionSyntax Threads;  // --threads N
// Several inputs, one output file each in one folder, worked on in parallel.
extern const OptionSyntax OutputDir;  // --output-dir DIR
extern const OptionSyntax Jobs;       // --jobs N
}  // namespace CommonOptions

// Parsed arguments of one command: one input file (several with --output-dir), options given as
// "--name value", "--name=value" or, for switches, "--name". Rejects what the command does not
// declare.
class CommandLine {
 public:
  // args: the arguments after the command name.
  CommandLine(const CommandSyntax& syntax, const std::vector<std::string>& args);

  bool helpRequested() const { return Help; }
  // The (first) input file, and every input file in the order given.
  const std::string& input() const { return Inputs.front(); }
  const std::vector<std::string>& inputs() const { return Inputs; }
  bool has(const std::string& option) const { return Values.count(option) != 0; }
  // The value of an option, or fallback when it was not given.
  std::string value(const std::string& option, const std::string& fallback = std::string()) const;
  // Numeric option values; a value that is not a number, or lies outside [min, max], is a usage error.
  long long integer(const std::string& option, long long fallback, long long min, long long max) const;
  double number(const std::string& option, double fallback, double min, double max) const;

  // The output file (-o) and the writer for it: --format when given, else its extension.
  const std::string& output() const { return Output; }
  MeshFormat outputFormat() const;

  // Writer for a path by its extension (.ply, .obj, .pc; any case).
  static MeshFormat formatOfPath(const std::string& path);

  // The usage text of a command, as --help prints it.
  static std::string usage(const CommandSyntax& syntax);

 private:
  const CommandSyntax& Syntax;
  bool Help = false;
  std::vector<std::string> Inputs;
  std::string Output;
  std::map<std::string, std::string> Values;
};
