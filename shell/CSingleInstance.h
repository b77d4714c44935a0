#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// Makes sure only one editor runs per user: the first one listens under the
// instance name; a later one asks it to come to the front and ends.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result {
        First,         // this process is the only editor; go on
        OtherRaised,   // another editor came to the front; end
        OtherNoWindow, // another editor runs but has no main window; end
        Failed,        // the instance name could not be taken; end
    };

    static QString DefaultName();

    explicit CSingleInstance(const QString& name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    Result Check();
    // Asked by a later start: true when the window was brought to the front.
    void SetRaiseHandler(std::function<bool()> raise) { m_raise = std::move(raise); }

private:
    void OnNewConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
    std::function<bool()> m_raise;
};
