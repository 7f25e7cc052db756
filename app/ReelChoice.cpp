#include "app/ReelChoice.h"

#include "app/Change.h"
#include "app/Intake.h"
#include "app/ModelRows.h"
#include "core/naming/Naming.h"
#include "core/naming/ReelDetector.h"
#include "core/naming/ReelSearch.h"

namespace tessera {

namespace {

bool sameReel(const std::optional<Reel> &a, const std::optional<Reel> &b)
{
    return a.has_value() == b.has_value() && (!a || (a->id == b->id && a->name == b->name));
}

QVariantList forView(const QList<Reel> &reels)
{
    QVariantList list;
    for (const Reel &reel : reels)
        list << ModelRows::reel(reel);
    return list;
}

} // namespace

ReelChoice::ReelChoice(const Intake &intake, const Service &service, QObject *parent)
    : QObject(parent)
    , m_intake(intake)
    , m_service(service)
{
    connect(&intake, &Intake::namesChanged, this, &ReelChoice::mismatchesChanged);
}

ReelChoice::~ReelChoice()
{
    m_task.cancel();
}

void ReelChoice::setQuery(const QString &query)
{
    if (!change(m_query, query))
        return;
    Q_EMIT queryChanged();
    Q_EMIT foundReelsChanged();
}

void ReelChoice::setSelectedReel(const std::optional<Reel> &reel)
{
    if (m_selectedReel == reel)
        return;
    const bool different = !sameReel(m_selectedReel, reel);
    m_selectedReel = reel;
    Q_EMIT selectedReelChanged();
    Q_EMIT mismatchesChanged();
    if (different)
        setReelConfirmed(false);
}

void ReelChoice::setReelConfirmed(bool confirmed)
{
    if (change(m_reelConfirmed, confirmed))
        Q_EMIT reelConfirmedChanged();
}

void ReelChoice::setKeptReel(const std::optional<Reel> &reel)
{
    if (change(m_keptReel, reel))
        Q_EMIT keptReelChanged();
}

void ReelChoice::setReelList(const QList<Reel> &reels, const std::optional<QString> &error,
                             bool loading)
{
    if (m_reels == reels && m_reelsError == error && m_loadingReels == loading)
        return;
    m_reels = reels;
    m_reelsError = error;
    m_loadingReels = loading;
    Q_EMIT reelsChanged();
    Q_EMIT foundReelsChanged();
    Q_EMIT mismatchesChanged();
}

void ReelChoice::pickReel(const QString &id)
{
    for (const Reel &reel : std::as_const(m_reels))
        if (reel.id == id)
            setSelectedReel(reel);
}

void ReelChoice::loadReels()
{
    m_task.cancel();
    setReelList(m_reels, std::nullopt, true);
    m_task = Task::with(m_service);
    load(this, m_task);
}

QCoro::Task<> ReelChoice::load(QPointer<ReelChoice> self, Task task)
{
    const Result<QList<Reel>> result = co_await task.api.reels();
    if (!alive(self, task))
        co_return;
    if (result) {
        Q_EMIT self->serviceReached(true);
        self->takeReels(result.value());
        co_return;
    }
    if (result.error().is<APIError::Unreachable>())
        Q_EMIT self->serviceReached(false);
    self->m_listed = false;
    self->setReelList(self->m_reels, result.error().description(), false);
}

void ReelChoice::takeReels(const QList<Reel> &answer)
{
    QList<Reel> reels;
    for (const Reel &reel : answer)
        if (Naming::isValidReelKey(reel.name))
            reels << reel;
    m_listed = true;
    setReelList(reels, std::nullopt, false);
    if (m_selectedReel) {
        const auto same = std::find_if(reels.begin(), reels.end(), [&](const Reel &reel) {
            return reel.id == m_selectedReel->id;
        });
        if (same != reels.end())
            setSelectedReel(*same);
    }
    Q_EMIT reelsLoaded();
}

void ReelChoice::preselect()
{
    if (m_selectedReel || m_keptReel)
        return;
    const auto suggested = ReelDetector::suggestion(m_intake.fileNames());
    if (!suggested)
        return;
    for (const Reel &reel : std::as_const(m_reels)) {
        if (reel.name == *suggested) {
            setSelectedReel(reel);
            return;
        }
    }
}

QStringList ReelChoice::reelMismatches() const
{
    if (!m_selectedReel)
        return {};
    return ReelDetector::mismatches(m_intake.fileNames(), m_selectedReel->name);
}

QList<Reel> ReelChoice::mismatchSuggestions() const
{
    QList<Reel> suggestions;
    for (const QString &name : reelMismatches())
        for (const Reel &reel : m_reels)
            if (reel.name == name)
                suggestions << reel;
    return suggestions;
}

QString ReelChoice::mismatchText() const
{
    const QStringList mismatches = reelMismatches();
    if (mismatches.isEmpty())
        return {};
    return QStringLiteral("These files say ") + ReelDetector::list(mismatches) +
           QStringLiteral(", but you picked ") + m_selectedReel->name + u'.';
}

QVariantList ReelChoice::reelsForView() const
{
    return forView(m_reels);
}

QVariantList ReelChoice::foundReels() const
{
    return forView(ReelSearch::filter(m_reels, m_query));
}

bool ReelChoice::noReelMatches() const
{
    const bool listThere = !m_reels.isEmpty() || (m_listed && !m_loadingReels && !m_reelsError);
    return listThere && ReelSearch::filter(m_reels, m_query).isEmpty();
}

QVariantMap ReelChoice::selectedReelForView() const
{
    return m_selectedReel ? ModelRows::reel(*m_selectedReel) : QVariantMap();
}

QVariantMap ReelChoice::keptReelForView() const
{
    return m_keptReel ? ModelRows::reel(*m_keptReel) : QVariantMap();
}

QVariantList ReelChoice::mismatchSuggestionsForView() const
{
    return forView(mismatchSuggestions());
}

} // namespace tessera
