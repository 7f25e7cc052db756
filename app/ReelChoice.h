#pragma once

#include "app/Task.h"
#include "core/naming/Reel.h"

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace tessera {

class Intake;

// Which reel the files are for: the service's reel list and its search, the picked reel, the
// reel kept from the last submission, and what the file names say against the pick.
class ReelChoice : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList reels READ reelsForView NOTIFY reelsChanged)
    Q_PROPERTY(QVariantList foundReels READ foundReels NOTIFY foundReelsChanged)
    Q_PROPERTY(bool noReelMatches READ noReelMatches NOTIFY foundReelsChanged)
    Q_PROPERTY(QString reelsError READ reelsErrorText NOTIFY reelsChanged)
    Q_PROPERTY(bool loadingReels READ loadingReels NOTIFY reelsChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QVariantMap selectedReel READ selectedReelForView NOTIFY selectedReelChanged)
    Q_PROPERTY(
        bool reelConfirmed READ reelConfirmed WRITE setReelConfirmed NOTIFY reelConfirmedChanged)
    Q_PROPERTY(QVariantMap keptReel READ keptReelForView NOTIFY keptReelChanged)
    Q_PROPERTY(QStringList reelMismatches READ reelMismatches NOTIFY mismatchesChanged)
    Q_PROPERTY(QString mismatchText READ mismatchText NOTIFY mismatchesChanged)
    Q_PROPERTY(
        QVariantList mismatchSuggestions READ mismatchSuggestionsForView NOTIFY mismatchesChanged)

public:
    ReelChoice(const Intake &intake, const Service &service, QObject *parent = nullptr);
    ~ReelChoice() override;

    const QList<Reel> &reels() const { return m_reels; }
    const std::optional<QString> &reelsError() const { return m_reelsError; }
    bool loadingReels() const { return m_loadingReels; }
    QString query() const { return m_query; }
    const std::optional<Reel> &selectedReel() const { return m_selectedReel; }
    bool reelConfirmed() const { return m_reelConfirmed; }
    const std::optional<Reel> &keptReel() const { return m_keptReel; }

    void setQuery(const QString &query);
    // Picking another reel (by id or name) takes back the confirmation of a mismatch.
    void setSelectedReel(const std::optional<Reel> &reel);
    void setReelConfirmed(bool confirmed);
    void setKeptReel(const std::optional<Reel> &reel);

    Q_INVOKABLE void pickReel(const QString &id);
    Q_INVOKABLE void loadReels();
    // The list as it arrived: reels whose name is no reel key are left out, and a picked reel is
    // replaced by its new entry.
    void takeReels(const QList<Reel> &reels);
    // Picks the reel the file names suggest, unless a reel is picked or kept already.
    void preselect();

    // The reel names in the file names that disagree with the picked reel.
    QStringList reelMismatches() const;
    // For each mismatching name, the reels of the list with that name.
    QList<Reel> mismatchSuggestions() const;
    QString mismatchText() const;

    QVariantList reelsForView() const;
    QVariantList foundReels() const;
    // The search finds nothing in a list that is there: "No reel matches.", also when the
    // service's list came empty.
    bool noReelMatches() const;
    QString reelsErrorText() const { return m_reelsError.value_or(QString()); }
    QVariantMap selectedReelForView() const;
    QVariantMap keptReelForView() const;
    QVariantList mismatchSuggestionsForView() const;

Q_SIGNALS:
    void reelsChanged();
    void foundReelsChanged();
    void queryChanged();
    void selectedReelChanged();
    void reelConfirmedChanged();
    void keptReelChanged();
    void mismatchesChanged();
    // A list arrived from the service.
    void reelsLoaded();
    void serviceReached(bool reached);

private:
    void setReelList(const QList<Reel> &reels, const std::optional<QString> &error, bool loading);
    static QCoro::Task<> load(QPointer<ReelChoice> self, Task task);

    const Intake &m_intake;
    const Service &m_service;
    QList<Reel> m_reels;
    std::optional<QString> m_reelsError;
    bool m_loadingReels = false;
    bool m_listed = false; // the last answer was a list
    QString m_query;
    std::optional<Reel> m_selectedReel;
    bool m_reelConfirmed = false;
    std::optional<Reel> m_keptReel;
    Task m_task;
};

} // namespace tessera
