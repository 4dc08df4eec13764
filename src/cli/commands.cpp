#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "io/file_io.h"

namespace kvtram {

namespace {

void addRangeOption(CLI::App& app, const std::string& name, int& value, const std::string& help) {
  // No range check here: an out-of-range value gets the converter's own message.
  app.add_option(name, value, help)->type_name("N")->capture_default_str();
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool errIsTerminal) {
  CLI::App app{"kvtram: converts KV music files (.kv, with their .kvp sample files) into TRAM images (.trm)"};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "Show the help of every command");

  ConvertArgs convert;
  convert.showProgress = errIsTerminal;
  ConversionOptions& o = convert.options;
  CLI::App* convertCmd = app.add_subcommand(
      "convert", "Convert each FILE ending in .kv (any case) to <base name>.trm beside it");
  addRangeOption(*convertCmd, "--psg-reduction", o.psgVolumeReduction,
                 "Amount subtracted from PSG channel volumes (0-15)");
  addRangeOption(*convertCmd, "--fm-reduction", o.fmVolumeReduction,
                 "Amount added to FM attenuations (0-15)");
  addRangeOption(*convertCmd, "--loops", o.loopCount, "Times the song's loop is played (1-15)");
  convertCmd->add_flag("--scc-i", o.useSccI, "Lay out the PCM channel streams for SCC-I");
  convertCmd->add_flag("--strict-mid,!--no-strict-mid", o.strictMid,
                       "Make the mid variant by the spectral resampler (default on)");
  convertCmd->add_flag("--strict-mid-high,!--no-strict-mid-high", o.strictMidHigh,
                       "Make the mid-high variant by the spectral resampler (default on)");
  convertCmd->add_flag("--strict-high,!--no-strict-high", o.strictHigh,
                       "Make the high variant by the spectral resampler (default off)");
  convertCmd->add_flag("--high-quality,!--no-high-quality", o.highQuality,
                       "Pitch bytes 129-186 use the mid-high variant (default off)");
  convertCmd->add_flag("-q,--quiet", convert.quiet, "Print nothing but failures");
  convertCmd->add_option("FILE", convert.files, "KV music files")->required();

  InfoArgs info;
  CLI::App* infoCmd = app.add_subcommand("info", "Describe KV music files and what their songs play");
  addRangeOption(*infoCmd, "--loops", info.loopCount, "Times the song's loop is played (1-15)");
  infoCmd->add_flag("--high-quality,!--no-high-quality", info.highQuality,
                    "Choose sample variants as with --high-quality");
  infoCmd->add_option("FILE", info.files, "KV music files")->required();
  infoCmd->footer(
      "Prints for each file its title, format version, PCM channels and channel masks, samples\n"
      "(blocks, loop, wave set) and macros, then plays the song as a conversion does and prints its\n"
      "length in frames, its FM and PSG register writes, its wavetable and PCM note events (one per\n"
      "channel and frame) and the sample variants its notes need.\n"
      "Exit status: 0 all files read, 1 a file failed, 2 bad arguments.");

  DumpArgs dump;
  CLI::App* dumpCmd = app.add_subcommand("dump", "Disassemble a TRAM image");
  dumpCmd->add_option("--waves", dump.waveCount,
                      "Number of wavetables at the start of bank 0 (default: found from the sample pointer table)")
      ->type_name("N")
      ->check(CLI::Range(0, 512));
  dumpCmd->add_option("FILE", dump.file, "TRAM image (.trm)")->required();
  dumpCmd->footer(
      "Prints the header, bank 0 (wavetables, sample pointer table) and every stream command by\n"
      "command. The time column is the frames the player has waited when it reaches the command.\n"
      "Exit status: 0 a well-formed image, 1 a file that is no (complete) image, 2 bad arguments.");

  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e, out, err);
    return status == 0 ? kExitOk : kExitBadArguments;
  }
  if (convertCmd->parsed()) return runConvert(convert, out, err);
  if (infoCmd->parsed()) return runInfo(info, out, err);
  return runDump(dump, out, err);
}

int runCommandLine(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return runCommandLine(args, std::cout, std::cerr, standardErrorIsTerminal());
}

}  // namespace kvtram
