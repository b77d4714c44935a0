#pragma once

#include <filesystem>
#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Runs part of a test as an unprivileged user where the superuser would
// bypass the permissions the test is about. As root the part runs in a child
// process that has become "nobody"; as any other user it runs in place.
namespace unprivileged {

constexpr uid_t kNobodyUid = 65534;
constexpr gid_t kNobodyGid = 65534;

inline bool IsRoot() {
    return geteuid() == 0;
}

// Hands a test folder and everything in it to the user the part runs as.
inline void GiveAway(const std::filesystem::path& folder) {
    if (!IsRoot()) return;
    (void)chown(folder.c_str(), kNobodyUid, kNobodyGid);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        (void)lchown(entry.path().c_str(), kNobodyUid, kNobodyGid);
}

// The text body returned, or nothing when the privileges could not be dropped.
inline std::optional<std::string> Run(const std::function<std::string()>& body) {
    if (!IsRoot()) return body();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return std::nullopt;
    const pid_t pid = fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        close(pipeFds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(kNobodyGid) != 0 || setuid(kNobodyUid) != 0)
            _exit(2);
        const std::string text = body();
        const bool sent =
            write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(sent ? 0 : 3);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

// Run for the cases of a table that need it (the folder is handed over
// first), the body in place for the others; nothing when it could not run.
inline std::optional<std::string> RunIf(bool unprivileged, const std::filesystem::path& folder,
                                        const std::function<std::string()>& body) {
    if (!unprivileged) return body();
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    GiveAway(folder);
    return Run(body);
}

} // namespace unprivileged
