// tovrin: the command line. Every command, option and default is defined once here; the help
// texts and the bash completion are generated from these definitions.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/completion.h"
#include "frontend/token_listing.h"
#include "platform/format.h"

namespace {

const char kFooter[] =
    "PORT is COM1..COM4 (mapped in the settings) or a device path such as /dev/ttyUSB0.\n"
    "Settings file: $TOVRIN_SETTINGS or ~/.config/Halvery/Tovrin.reg.\n"
    "Log: --log PATH, $TOVRIN_LOG or ~/.local/state/tovrin/tovrin.log.\n"
    "Exit status: 0 success, 1 build failed, 2 usage error, 3 download failed.\n"
    "Run 'tovrin help COMMAND' or 'tovrin COMMAND --help' for one command.";

// Every option set, filled by the parse.
struct Parsed {
  BuildOptions build;
  TransferOptions download, install;
  PortOptions port;
  std::string inspectFile, tokensFile, completionShell, helpTopic;
};

CLI::App* AddBuild(CLI::App& app, BuildOptions& o) {
  CLI::App* build = app.add_subcommand(
      "build",
      "Compile SOURCE (*.tvr) and every file it uses into SOURCE.hex; write the listing tovrin.dbg "
      "(debug level 2-4) and the error log; print the memory map. Options override the stored "
      "settings for this run only.");
  build->add_option("SOURCE", o.source, "the program to build")->type_name("SOURCE");
  build->add_option("--debug-level", o.debugLevel, "1 no listing .. 4 full listing")->type_name("1|2|3|4");
  build->add_option("--code", o.code, "where the tables and code go")->type_name("on-chip|external");
  build->add_option("--data", o.data, "where the global data go")->type_name("on-chip|external");
  build->add_option("--external-ram", o.externalRam, "kilobytes of external RAM, 0 to 64")->type_name("K");
  build->add_option("-o,--output", o.output, "write the image to HEX instead of beside SOURCE")->type_name("HEX");
  build->add_option("--log", o.log, "write the error log to PATH")->type_name("PATH");
  build->add_flag("--download", o.download, "send the image to the target's SRAM after a good build")
      ->disable_flag_override();
  build->add_option("--port", o.port, "the port --download uses")->type_name("PORT");
  build->add_flag("--open-log", o.openLog, "open the log in $VISUAL / $EDITOR / xdg-open after a failed build")
      ->disable_flag_override();
  build->add_flag("--no-warnings", o.noWarnings, "show no warnings")->disable_flag_override();
  build->add_flag("--warnings-as-errors", o.warningsAsErrors, "fail the build when it warns")
      ->disable_flag_override();
  return build;
}

CLI::App* AddTransfer(CLI::App& app, const char* name, const char* file, const char* what, TransferOptions& o) {
  CLI::App* command = app.add_subcommand(name, what);
  command->add_option(file, o.file, "the Intel HEX file to send")->type_name(file);
  command->add_option("--port", o.port, "the port to send through (default: the stored port)")->type_name("PORT");
  return command;
}

CLI::App* AddConfigurePort(CLI::App& app, PortOptions& o) {
  CLI::App* command = app.add_subcommand("configure-port", "Change the device and line settings that COMn stands for.");
  command->add_option("COMn", o.name, "COM1 .. COM4")->type_name("COMn");
  command->add_option("--device", o.device, "the device the port opens")->type_name("PATH");
  command->add_option("--baud", o.baud, "line speed")->type_name("N");
  command->add_option("--data-bits", o.dataBits, "5 to 8")->type_name("5|6|7|8");
  command->add_option("--parity", o.parity)->type_name("none|odd|even");
  command->add_option("--stop-bits", o.stopBits)->type_name("1|2");
  command->add_option("--flow", o.flow)->type_name("none|hardware|software");
  return command;
}

void Define(CLI::App& app, Parsed& p) {
  app.description("Compile Tovrin programs and download them to the target.");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("tovrin ") + TOVRIN_VERSION);
  app.allow_extras();  // inherited: extra arguments are reported in this program's words
  app.require_subcommand(0, 1);  // one command: a later word that names another is an argument
  AddBuild(app, p.build);
  AddTransfer(app, "download", "HEXFILE", "Send a hex file to the target's SRAM through the programmer.", p.download);
  AddTransfer(app, "install", "FIRMWARE",
              "Write the interpreter firmware into the chip's Flash (default: the stored \"Tovrin File\").",
              p.install);
  app.add_subcommand("ports", "List serial devices and the COM1..COM4 mapping.");
  AddConfigurePort(app, p.port);
  app.add_subcommand("settings", "Print every stored setting.");
  app.add_subcommand("help", "Show the help of a command.")->add_option("COMMAND", p.helpTopic)->type_name("COMMAND");
  // Not listed: a debugging aid and the completion script the installation puts in place.
  app.add_subcommand("tokens", "List the tokens of one file.")->group("")->add_option("FILE", p.tokensFile);
  app.add_subcommand("completion", "Print a completion script for the shell.")
      ->group("")
      ->add_option("SHELL", p.completionShell)
      ->type_name("bash");
}

// Arguments no definition took: an option nobody knows, or a word too many.
int ExtraArgumentError(const CLI::App& command, const std::string& positional, const std::string& kind) {
  const std::vector<std::string> extra = command.remaining();
  const std::string& first = extra.front();
  if (first.size() > 1 && first[0] == '-') return UsageError(Format("unknown option '%s'", Printable(first).c_str()));
  if (positional.empty()) return UsageError(Format("%s takes no arguments, not '%s'", command.get_name().c_str(), Printable(first).c_str()));
  return UsageError(Format("more than one %s given ('%s' and '%s')", kind.c_str(), Printable(positional).c_str(),
                           Printable(first).c_str()));
}

// The library's own words for a value that is missing or not wanted, in this program's words.
int MismatchError(const CLI::ArgumentMismatch& error) {
  std::string what = error.what();
  size_t end = what.find_first_of(": ");
  std::string name = what.substr(0, end);
  if (name.rfind("-", 0) != 0) name = "--" + name;
  if (what.find("flag override") != std::string::npos) return UsageError(Format("%s takes no value", name.c_str()));
  return UsageError(Format("%s needs a value", name.c_str()));
}

int RunTokens(const std::string& file) {
  if (WriteTokenListing(file, stdout)) return kExitOk;
  std::fprintf(stderr, "tovrin: cannot open '%s'\n", Printable(file).c_str());
  return kExitBuildFailed;
}

int RunHelp(const CLI::App& app, const std::string& topic) {
  if (topic.empty()) {
    std::cout << app.help();
    return kExitOk;
  }
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_name() == topic) {
      std::cout << command->help(app.get_name());
      return kExitOk;
    }
  }
  return UsageError(Format("no command '%s'", Printable(topic).c_str()));
}

int Dispatch(const CLI::App& app, const Parsed& p) {
  std::vector<CLI::App*> chosen = app.get_subcommands();
  if (chosen.empty()) {
    if (!app.remaining().empty()) {
      const std::string first = app.remaining().front();
      if (first.size() > 1 && first[0] == '-') return UsageError(Format("unknown option '%s'", Printable(first).c_str()));
      return UsageError(Format("unknown command '%s'", Printable(first).c_str()));
    }
    std::cerr << app.help();
    return kExitUsage;
  }
  const CLI::App& command = *chosen.front();
  const std::string name = command.get_name();
  const bool extra = !command.remaining().empty();
  if (name == "build") {
    if (extra) return ExtraArgumentError(command, p.build.source, "SOURCE");
    if (command.count("SOURCE") == 0) return UsageError("build needs a SOURCE file");
    return RunBuildCommand(p.build);
  }
  if (name == "download" || name == "install") {
    const TransferOptions& o = name == "download" ? p.download : p.install;
    if (extra) return ExtraArgumentError(command, o.file.value_or(""), "file");
    if (o.port && o.port->empty()) return UsageError("--port needs a port name (COM1 .. COM4 or a device path)");
    if (name == "install") return RunInstallCommand(o);
    if (!o.file) return UsageError("download needs the HEXFILE to send");
    return RunDownloadCommand(o);
  }
  if (name == "configure-port") {
    if (extra) return ExtraArgumentError(command, p.port.name, "port");
    return RunConfigurePortCommand(p.port);
  }
  if (name == "tokens") {
    if (extra || command.count("FILE") == 0) return UsageError("tokens takes one FILE");
    return RunTokens(p.tokensFile);
  }
  if (name == "help") {
    if (extra) return ExtraArgumentError(command, p.helpTopic, "command");
    return RunHelp(app, p.helpTopic);
  }
  if (name == "completion") {
    if (extra) return ExtraArgumentError(command, p.completionShell, "shell");
    if (p.completionShell != "bash") return UsageError("completion takes the shell: bash");
    std::fputs(BashCompletion(app).c_str(), stdout);
    return kExitOk;
  }
  if (extra) return ExtraArgumentError(command, "", "");
  return name == "ports" ? RunPortsCommand() : RunSettingsCommand();
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n')
      shown += "\\n";
    else if (c == '\r')
      shown += "\\r";
    else if (c == '\t')
      shown += "\\t";
    else if (c < 0x20 || c == 0x7f)
      shown += Format("\\x%02x", c);
    else
      shown += static_cast<char>(c);
  }
  return shown;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tovrin: %s\nRun 'tovrin --help' for usage.\n", message.c_str());
  return kExitUsage;
}

int main(int argc, char** argv) {
  CLI::App app("", "tovrin");
  Parsed parsed;
  Define(app, parsed);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ArgumentMismatch& e) {
    return MismatchError(e);
  } catch (const CLI::ParseError& e) {
    return UsageError(Printable(e.what()));
  }
  return Dispatch(app, parsed);
}
