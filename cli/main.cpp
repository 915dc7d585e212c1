// trevalon-cli: the host conversations and job files for lab scripts.
#include <iostream>

#include "cli/CliCommands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    TCliOptions options;
    try {
        options = ParseCliOptions(args);
    } catch (const EUsage& e) {
        std::cerr << "trevalon-cli: " << e.what() << "\nTry 'trevalon-cli --help'.\n";
        return exUsage;
    }
    if (options.Help) {
        std::cout << CliHelpText();
        return exOk;
    }
    if (options.Version) {
        std::cout << "trevalon-cli " << TREVALON_VERSION << "\n";
        return exOk;
    }
    try {
        return RunCliCommand(options, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "trevalon-cli: " << e.what() << "\n";
        return exFailure;
    }
}
