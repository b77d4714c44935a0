#include "MosquittoBroker.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Where the build found the broker and its password tool; empty when it did not.
#ifdef FX_MOSQUITTO_PATH
constexpr const char* kMosquittoPath = FX_MOSQUITTO_PATH;
constexpr const char* kMosquittoPasswdPath = FX_MOSQUITTO_PASSWD_PATH;
#else
constexpr const char* kMosquittoPath = "";
constexpr const char* kMosquittoPasswdPath = "";
#endif

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// Starts a program that ends with the thread that started it, so a test
// killed at its time-out leaves no broker behind.
pid_t Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

} // namespace

bool MosquittoBroker::Available() {
    return *kMosquittoPath != '\0' && *kMosquittoPasswdPath != '\0';
}

MosquittoBroker::MosquittoBroker(std::string user, std::string password)
    : m_user(std::move(user)), m_password(std::move(password)) {
    char folder[] = "/tmp/fxtune-mosquitto-XXXXXX";
    if (::mkdtemp(folder)) m_folder = folder;
    m_port = FreeLoopbackPort();
}

MosquittoBroker::~MosquittoBroker() {
    Stop();
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

void MosquittoBroker::ServeTls(std::string certificateFile, std::string keyFile) {
    m_certificateFile = std::move(certificateFile);
    m_keyFile = std::move(keyFile);
}

bool MosquittoBroker::WriteConfiguration() {
    if (m_folder.empty() || m_port == 0) {
        m_error = "no folder or no free port";
        return false;
    }
    std::ofstream config(m_folder + "/mosquitto.conf");
    config << "listener " << m_port << " 127.0.0.1\n"
           << "persistence false\n"
           << "user root\n" // stays who started it; no effect unless that is root
           << "log_dest file " << m_folder << "/mosquitto.log\n"
           << "log_type all\n";
    if (!m_certificateFile.empty())
        config << "certfile " << m_certificateFile << "\nkeyfile " << m_keyFile << "\n";
    if (m_user.empty()) {
        config << "allow_anonymous true\n";
        return bool(config);
    }
    config << "allow_anonymous false\n"
           << "password_file " << m_folder << "/passwords\n";
    const pid_t pid =
        Spawn({kMosquittoPasswdPath, "-c", "-b", m_folder + "/passwords", m_user, m_password});
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        m_error = "mosquitto_passwd failed";
        return false;
    }
    return bool(config);
}

bool MosquittoBroker::Start() {
    if (m_pid > 0) return true;
    if (!Available()) {
        m_error = "this build found no mosquitto";
        return false;
    }
    if (!WriteConfiguration()) return false;
    m_pid = Spawn({kMosquittoPath, "-c", m_folder + "/mosquitto.conf"});
    if (m_pid < 0) {
        m_error = std::string("cannot start mosquitto: ") + std::strerror(errno);
        return false;
    }
    return WaitUntilListening();
}

bool MosquittoBroker::WaitUntilListening() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(m_port)) return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "mosquitto ended at start; see " + m_folder + "/mosquitto.log";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_error = "mosquitto does not listen on port " + std::to_string(m_port);
    return false;
}

void MosquittoBroker::Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}
