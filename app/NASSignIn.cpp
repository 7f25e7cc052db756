#include "app/NASSignIn.h"

namespace tessera {

NASSignIn::~NASSignIn()
{
    if (m_answer)
        std::exchange(m_answer, {})(std::nullopt);
}

void NASSignIn::ask(const NAS::SignIn &question, NAS::Answer answer)
{
    m_question = question;
    m_answer = std::move(answer);
    Q_EMIT changed();
}

void NASSignIn::answer(const QString &user, const QString &password, const QString &domain,
                       bool guest)
{
    auto answer = std::exchange(m_answer, {});
    m_question.reset();
    Q_EMIT changed();
    if (answer)
        answer(NAS::Credentials{user, password, domain, guest});
}

void NASSignIn::cancel()
{
    if (auto answer = std::exchange(m_answer, {}))
        answer(std::nullopt);
    if (m_question) {
        m_question.reset();
        Q_EMIT changed();
    }
}

} // namespace tessera
