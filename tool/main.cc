#include <algorithm>
#include <cstdio>
#include <thread>

#include "host.h"
#include "run.h"

int main(int argc, char** argv) {
    const bool is_terminal = morvask::host::prepare_standard_output();
    morvask::Console console(stdout, is_terminal);
    // One inflating worker per core; the reading and the writing thread mostly wait.
    const unsigned inflate_threads = std::max(1u, std::thread::hardware_concurrency());
    const int status = morvask::run(argc, argv, console, inflate_threads);
    std::fflush(stdout);
    return status;
}
