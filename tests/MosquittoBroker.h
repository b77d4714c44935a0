#pragma once

#include <string>
#include <sys/types.h>

// A real mosquitto broker for one test: its own configuration in a fresh
// folder, a free port on 127.0.0.1, no persistence. It may be stopped and
// started again on the same port. With an account, only that user and
// password may connect.
class MosquittoBroker {
public:
    // Whether the build found mosquitto; a test needing a broker skips when not.
    static bool Available();

    MosquittoBroker(std::string user = {}, std::string password = {});
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Serves MQTT over TLS with this certificate and key (before Start).
    void ServeTls(std::string certificateFile, std::string keyFile);

    // Starts the broker and waits until it takes connections; false, with
    // Error() telling why, when it does not.
    bool Start();
    void Stop();

    int Port() const { return m_port; }
    const std::string& Error() const { return m_error; }

private:
    bool WriteConfiguration();
    bool WaitUntilListening();

    std::string m_user;
    std::string m_password;
    std::string m_certificateFile;
    std::string m_keyFile;
    std::string m_folder;
    int m_port = 0;
    pid_t m_pid = -1;
    std::string m_error;
};
