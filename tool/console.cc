#include "console.h"

#include <algorithm>

namespace morvask {

namespace {
constexpr std::size_t PROGRESS_WIDTH = 79;
}

Console::Console(std::FILE* out, bool is_terminal) : out_(out), is_terminal_(is_terminal) {
    if (!is_terminal_) std::setvbuf(out_, nullptr, _IOFBF, 1 << 16);
}

void Console::print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    if (is_terminal_) std::fflush(out_);
}

void Console::print_progress(std::string_view name) {
    char line[PROGRESS_WIDTH + 1 + 64];
    std::size_t used = 0;
    line[used++] = ' ';
    name = name.substr(0, 64);
    std::copy(name.begin(), name.end(), line + used);
    used += name.size();
    while (used < PROGRESS_WIDTH) line[used++] = ' ';
    line[used++] = '\r';
    print(std::string_view(line, used));
}

}  // namespace morvask
