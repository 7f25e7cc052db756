#pragma once

#include "app/NAS.h"

#include <QObject>

#include <optional>

namespace tessera {

// The NAS's question for a sign-in while the share is being mounted, open until the editor
// answers or cancels it, or the run ends it.
class NASSignIn : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool open READ isOpen NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(QString user READ user NOTIFY changed)
    Q_PROPERTY(QString domain READ domain NOTIFY changed)
    Q_PROPERTY(bool needsUser READ needsUser NOTIFY changed)
    Q_PROPERTY(bool guestAllowed READ guestAllowed NOTIFY changed)

public:
    using QObject::QObject;
    ~NASSignIn() override;

    bool isOpen() const { return m_question.has_value(); }
    QString message() const { return m_question ? m_question->message : QString(); }
    QString user() const { return m_question ? m_question->user : QString(); }
    QString domain() const { return m_question ? m_question->domain : QString(); }
    bool needsUser() const { return m_question && m_question->needsUser; }
    bool guestAllowed() const { return m_question && m_question->anonymousAllowed; }

    // Opens the question; `answer` gets the editor's credentials, or nothing when cancelled.
    void ask(const NAS::SignIn &question, NAS::Answer answer);
    Q_INVOKABLE void answer(const QString &user, const QString &password, const QString &domain,
                            bool guest);
    // Cancels a question that is still open.
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void changed();

private:
    std::optional<NAS::SignIn> m_question;
    NAS::Answer m_answer;
};

} // namespace tessera
