#include "cli/Cli.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // Past a file-size limit a write then fails and is reported, instead of a silent end.
    std::signal(SIGXFSZ, SIG_IGN);
    return runCli(argc, argv, std::cout, std::cerr);
}
