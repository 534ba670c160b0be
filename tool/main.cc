#include <cstdio>

#include "host.h"
#include "run.h"

int main(int argc, char** argv) {
    const bool is_terminal = morvask::host::prepare_standard_output();
    morvask::Console console(stdout, is_terminal);
    const int status = morvask::run(argc, argv, console);
    std::fflush(stdout);
    return status;
}
