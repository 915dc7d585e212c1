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
        if (e.Json) PrintCliFailure(std::cout, e.Command, exUsage, e.what());
        std::cerr << "trevalon-cli: " << e.what() << "\n" << CliTryHelp(e.Command) << "\n";
        return exUsage;
    }
    if (options.Help) {
        if (options.Json)
            PrintCliInfo(std::cout, options.Command, "help", CliHelpText(options.Command));
        else
            std::cout << CliHelpText(options.Command);
        return exOk;
    }
    if (options.Version) {
        if (options.Json)
            PrintCliInfo(std::cout, options.Command, "version", TREVALON_VERSION);
        else
            std::cout << "trevalon-cli " << TREVALON_VERSION << "\n";
        return exOk;
    }
    try {
        return RunCliCommand(options, std::cout, std::cerr);
    } catch (const std::exception& e) {
        if (options.Json) PrintCliFailure(std::cout, options.Command, exFailure, e.what());
        std::cerr << "trevalon-cli: " << e.what() << "\n";
        return exFailure;
    }
}
