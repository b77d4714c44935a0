#include "shell/CSingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int kAnswerWaitMs = 3000;
const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaised = "ok\n";
const QByteArray kNoWindow = "nowindow\n";
} // namespace

QString CSingleInstance::DefaultName() {
    const QString user = qEnvironmentVariable("USER", QStringLiteral("user"));
    return QStringLiteral("ARN63 V1.0-%1").arg(user);
}

CSingleInstance::CSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {}

CSingleInstance::~CSingleInstance() = default;

CSingleInstance::Result CSingleInstance::Check() {
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(kAnswerWaitMs)) {
        probe.write(kRaiseRequest);
        probe.waitForBytesWritten(kAnswerWaitMs);
        QByteArray answer;
        while (!answer.endsWith('\n') && probe.waitForReadyRead(kAnswerWaitMs))
            answer += probe.readAll();
        return answer == kRaised ? Result::OtherRaised : Result::OtherNoWindow;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A name left behind by an editor that did not end cleanly.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) return Result::Failed;
    }
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    return Result::First;
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray request = socket->readLine();
            if (request != kRaiseRequest) {
                socket->disconnectFromServer();
                return;
            }
            const bool raised = m_raise && m_raise();
            socket->write(raised ? kRaised : kNoWindow);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}
