// ostrel: the kivOstrel control on the command line. See HelpText() for what it does.
#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "encoding/automation_error.h"
#include "tools/ostrel/command_line.h"
#include "tools/ostrel/commands.h"

int main(int argc, char** argv) {
  using namespace kivostrel::ostrel;
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string command;
  try {
    const Invocation invocation = ParseCommandLine(args);
    // Passwords on the command line show in every process list (ps, /proc/PID/cmdline) for as
    // long as the process runs: once read, they are overwritten there.
    for (const SecretArgument& secret : invocation.secret_arguments) {
      char* text = argv[secret.index + 1] + secret.offset;
      std::fill(text, text + std::strlen(text), 'x');
    }
    command = std::string(CommandName(invocation.command));
    return Run(invocation, std::cout);
  } catch (const UsageError& error) {
    std::cerr << "ostrel: " << error.what() << "\n"
              << UsageText(error.command().empty() ? command : error.command());
    return kExitUsage;
  } catch (const ToolError& error) {
    std::cerr << "ostrel: " << error.what() << "\n";
    return error.exit_code();
  } catch (const kivostrel::AutomationError& error) {
    std::cerr << "ostrel: " << error.description() << " (error " << error.number() << ", "
              << error.source() << ")\n";
    return kExitFailure;
  } catch (const std::exception& error) {
    std::cerr << "ostrel: " << error.what() << "\n";
    return kExitFailure;
  }
}
