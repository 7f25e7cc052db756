#pragma once

#include "app/Task.h"
#include "app/Workflow.h"
#include "core/naming/Characters.h"
#include "core/reelcheck/HelpReport.h"

#include <QObject>
#include <QStringList>

#include <functional>

namespace tessera {

// "Get help": the editor's message and the help request's way to the service, with its fall-back
// to the clipboard and a Slack chat so that the message is never lost.
class HelpDesk : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool open READ isOpen WRITE setOpen NOTIFY changed)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY changed)
    Q_PROPERTY(tessera::Workflow::HelpKind state READ stateKind NOTIFY changed)
    Q_PROPERTY(QString failure READ failure NOTIFY changed)
    Q_PROPERTY(bool canSend READ canSend NOTIFY changed)
    Q_PROPERTY(int messageLength READ messageLength NOTIFY changed)
    Q_PROPERTY(bool messageTooLong READ messageTooLong NOTIFY changed)
    Q_PROPERTY(QStringList contextLines READ contextLines NOTIFY contextChanged)

public:
    // The desktop facilities the fall-back uses; tests record the calls instead.
    struct Desktop
    {
        std::function<void(const QString &)> copyText;
        std::function<void(const QUrl &)> openURL;
    };
    // The editor's name and situation at the moment of asking.
    using RequestSource = std::function<HelpRequest(const QString &message)>;

    HelpDesk(const Service &service, Desktop desktop, RequestSource source,
             QObject *parent = nullptr);
    ~HelpDesk() override;

    bool isOpen() const { return m_open; }
    QString message() const { return m_message; }
    const HelpState &state() const { return m_state; }
    void setOpen(bool open);
    void setMessage(const QString &message);

    // What goes with the message.
    HelpContext context() const { return m_source(m_message).context; }
    QStringList contextLines() const { return HelpReport::contextLines(context()); }
    Workflow::HelpKind stateKind() const { return m_state.kind; }
    QString failure() const { return m_state.message; }
    // "Send" may be pressed: the message is valid and no request is under way.
    bool canSend() const;
    // The text's length as typed (blanks and line breaks included), for the counter and the
    // frame; whether it may be sent is HelpReport's, on the trimmed text.
    int messageLength() const { return int(Characters::count(m_message)); }
    bool messageTooLong() const { return messageLength() > HelpReport::maxMessage; }

    Q_INVOKABLE void openHelp();
    Q_INVOKABLE void send();

Q_SIGNALS:
    void changed();
    // Something the context is made of changed.
    void contextChanged();

private:
    void setState(const HelpState &state);
    static QCoro::Task<> sendRequest(QPointer<HelpDesk> self, Task task, HelpRequest request);

    const Service &m_service;
    Desktop m_desktop;
    RequestSource m_source;
    bool m_open = false;
    QString m_message;
    HelpState m_state;
    Task m_task;
};

} // namespace tessera
