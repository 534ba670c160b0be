#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run_program.h"

namespace testing_support {

int run_program(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& cwd, const std::filesystem::path& out,
                const std::filesystem::path& err) {
    std::vector<std::string> argv_storage{program};
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int in_fd = ::open("/dev/null", O_RDONLY);
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::dup2(in_fd, 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path native_name(const std::string& bytes) { return std::filesystem::path(bytes); }

std::filesystem::path reachable(const std::filesystem::path& path) { return path; }

std::vector<FolderEntry> read_folder(const std::filesystem::path& folder) {
    std::vector<FolderEntry> entries;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        entries.push_back({item.path().filename().string(), std::filesystem::is_directory(item.symlink_status())});
    }
    return entries;
}

void remove_tree(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace testing_support
