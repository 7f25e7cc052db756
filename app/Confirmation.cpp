#include "app/Confirmation.h"

#include "app/Change.h"
#include "app/Identity.h"
#include "app/Intake.h"
#include "app/ModelRows.h"
#include "app/ReelChoice.h"
#include "app/Settings.h"
#include "core/naming/Characters.h"
#include "core/naming/NameDiff.h"
#include "core/naming/Naming.h"
#include "core/precheck/ReelCompleteness.h"

#include <QFileInfo>

namespace tessera {

struct Confirmation::Derived
{
    SlotCheck slotCheck;
    QList<QStringList> fileProblems;
    std::optional<EDLRewriter::Result> rewrittenEDL;
    QStringList edlProblems;
    std::optional<QString> completenessWarning;
    QList<OriginalRename> plannedOriginalRenames;
};

Confirmation::Confirmation(const Intake &intake, const ReelChoice &reels, const Identity &identity,
                           Settings &settings, QObject *parent)
    : QObject(parent)
    , m_intake(intake)
    , m_reels(reels)
    , m_identity(identity)
    , m_settings(settings)
    , m_table(new KeyedListModel(ModelRows::tableRoles(), this))
{
    m_renameOriginals = settings.flag(QStringLiteral("renameOriginalsDefaultOn")).value_or(true);
    for (auto signal : {&Intake::filesChanged, &Intake::edlChanged, &Intake::checksChanged,
                        &Intake::checkingFilesChanged})
        connect(&intake, signal, this, &Confirmation::invalidate);
    for (auto signal : {&ReelChoice::selectedReelChanged, &ReelChoice::keptReelChanged,
                        &ReelChoice::reelConfirmedChanged, &ReelChoice::mismatchesChanged})
        connect(&reels, signal, this, &Confirmation::invalidate);
    connect(&identity, &Identity::nameChanged, this, &Confirmation::gatesChanged);
}

Confirmation::~Confirmation() = default;

void Confirmation::setVersion(const QString &version)
{
    if (!change(m_version, version))
        return;
    Q_EMIT versionChanged();
    invalidate();
}

void Confirmation::setNewEDL(bool newEDL)
{
    if (change(m_newEDL, newEDL))
        Q_EMIT newEDLChanged();
}

void Confirmation::setNote(const QString &note)
{
    if (m_note == note)
        return;
    const bool wasTooLong = noteTooLong();
    m_note = note;
    Q_EMIT noteChanged();
    if (wasTooLong != noteTooLong())
        Q_EMIT gatesChanged();
}

bool Confirmation::noteTooLong() const
{
    return Characters::count(m_note) > maxNoteLength;
}

void Confirmation::setRenameOriginals(bool on)
{
    if (!change(m_renameOriginals, on))
        return;
    m_settings.store(QStringLiteral("renameOriginalsDefaultOn"), on);
    Q_EMIT renameOriginalsChanged();
    invalidate();
}

std::optional<RunState> Confirmation::draft() const
{
    const auto &reel = m_reels.selectedReel();
    if (!reel)
        return std::nullopt;
    RunState state;
    state.reel = *reel;
    state.version = m_version;
    state.files = m_intake.files();
    state.edl = m_intake.edl();
    state.newEDL = m_newEDL;
    state.note = m_note;
    state.renameOriginals = m_renameOriginals;
    state.editor = m_identity.identity();
    return state;
}

void Confirmation::invalidate()
{
    m_derived.reset();
    Q_EMIT gatesChanged();
    // Views learn of the new values once per turn of the event loop, however many fields changed.
    if (m_publishQueued)
        return;
    m_publishQueued = true;
    QMetaObject::invokeMethod(this, &Confirmation::publish, Qt::QueuedConnection);
}

void Confirmation::publish()
{
    m_publishQueued = false;
    const Derived &d = derived();
    const QList<DroppedFile> &files = m_intake.files();
    QList<KeyedListModel::Row> rows;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const DroppedFile &file = files.at(i);
        const QString badge = !file.slot                               ? QStringLiteral("Pick")
                              : d.slotCheck.conflicts.contains(int(i)) ? QStringLiteral("Clash")
                                                                       : QString();
        rows << ModelRows::tableRow(file, finalName(file), d.fileProblems.value(i), badge);
    }
    m_table->setRows(rows);
    Q_EMIT derivedChanged();
}

const Confirmation::Derived &Confirmation::derived() const
{
    if (m_derived)
        return *m_derived;
    auto d = std::make_unique<Derived>();
    const QList<DroppedFile> &files = m_intake.files();
    const auto &reel = m_reels.selectedReel();
    const auto &dropRoot = m_intake.dropRoot();

    QList<std::optional<Slot>> slots;
    QList<PreCheck::File> checked;
    for (const DroppedFile &file : files) {
        slots << file.slot;
        PreCheck::File entry{CopyPlanner::fileName(file.url), std::nullopt, std::nullopt};
        if (file.slot)
            entry.surface = file.slot->surface;
        const auto found = m_intake.readings().constFind(CopyPlanner::standardizedPath(file.url));
        if (found != m_intake.readings().constEnd())
            entry.reading = found->reading;
        checked << entry;
    }
    d->slotCheck = SlotCheck(slots);
    d->fileProblems = PreCheck::problems(checked, m_intake.exportSizes());
    if (reel && dropRoot) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            const CopyItem item{files.at(i).url, finalName(files.at(i)).value_or(QString()),
                                std::nullopt};
            for (const QString &problem :
                 CopyPlanner::otherReelProblems({item}, reel->name, *dropRoot))
                d->fileProblems[i] << problem + u'.';
        }
    }

    if (const auto state = draft()) {
        d->rewrittenEDL = state->rewrittenEDL();
        if (d->rewrittenEDL)
            for (const QString &name : std::as_const(d->rewrittenEDL->ambiguous))
                d->edlProblems << EDLRewriter::ambiguousMessage(name);
        if (m_renameOriginals) {
            const QUrl root =
                dropRoot.value_or(QUrl::fromLocalFile(QStringLiteral("/nonexistent-drop-root")));
            d->plannedOriginalRenames =
                OriginalRenamePlanner::plan(state->items(false), root, true, [](const QUrl &url) {
                    return QFileInfo::exists(url.toLocalFile());
                });
        }
    }

    if (!m_reels.keptReel() && !files.isEmpty()) {
        QList<Surface> surfaces;
        for (const DroppedFile &file : files)
            if (file.slot)
                surfaces << file.slot->surface;
        d->completenessWarning = ReelCompleteness::warning(int(files.size()), surfaces);
    }

    m_derived = std::move(d);
    return *m_derived;
}

SlotCheck Confirmation::slotCheck() const
{
    return derived().slotCheck;
}

std::optional<QString> Confirmation::finalName(const DroppedFile &file) const
{
    const auto &reel = m_reels.selectedReel();
    if (!reel || !file.slot)
        return std::nullopt;
    return Naming::fileName(reel->name, *file.slot, m_version);
}

QList<QStringList> Confirmation::fileProblems() const
{
    return derived().fileProblems;
}

QStringList Confirmation::edlProblems() const
{
    return derived().edlProblems;
}

std::optional<EDLRewriter::Result> Confirmation::rewrittenEDL() const
{
    return derived().rewrittenEDL;
}

std::optional<QString> Confirmation::completenessWarning() const
{
    return derived().completenessWarning;
}

QList<OriginalRename> Confirmation::plannedOriginalRenames() const
{
    return derived().plannedOriginalRenames;
}

std::optional<QString> Confirmation::submitBlocker() const
{
    if (!m_reels.selectedReel())
        return QStringLiteral("Pick the reel.");
    if (!m_reels.reelMismatches().isEmpty() && !m_reels.reelConfirmed())
        return QStringLiteral("Check the reel first.");
    const Derived &d = derived();
    if (!d.slotCheck.unassigned.isEmpty())
        return QStringLiteral("Pick a surface for every file.");
    if (const qsizetype clashing = d.slotCheck.conflicts.size(); clashing == 2)
        return QStringLiteral("Two files point at the same surface. Change one of them.");
    else if (clashing > 2)
        return QStringLiteral(
                   "%1 files point at the same surface. Give each file a surface of its own.")
            .arg(clashing);
    if (m_intake.checkingFiles())
        return QStringLiteral("Checking the files…");
    const bool anyProblem = std::any_of(d.fileProblems.begin(), d.fileProblems.end(),
                                        [](const QStringList &list) { return !list.isEmpty(); });
    if (anyProblem || !d.edlProblems.isEmpty())
        return QStringLiteral("Fix the problems in red, then drop the files again.");
    if (!m_identity.nameFits())
        return QStringLiteral("Say who you are on the first step.");
    if (noteTooLong())
        return QStringLiteral("The note is too long (2000 characters at most).");
    return std::nullopt;
}

bool Confirmation::canSubmit() const
{
    return !submitBlocker() && Naming::isValidStamp(m_version) && !m_intake.files().isEmpty();
}

QString Confirmation::edlFinalName() const
{
    return m_reels.selectedReel() && m_intake.edl() ? Naming::edlName(m_version) : QString();
}

QVariantList Confirmation::edlNameSegments() const
{
    QVariantList segments;
    if (!m_intake.edl() || !m_reels.selectedReel())
        return segments;
    return ModelRows::segments(
        NameDiff::segments(CopyPlanner::fileName(*m_intake.edl()), Naming::edlName(m_version)));
}

QString Confirmation::edlClipNote() const
{
    const auto rewritten = rewrittenEDL();
    if (!rewritten)
        return {};
    if (rewritten->changed == 0)
        return QStringLiteral("clip names unchanged");
    return QString::number(rewritten->changed) + (rewritten->changed == 1
                                                      ? QStringLiteral(" clip name updated")
                                                      : QStringLiteral(" clip names updated"));
}

QString Confirmation::edlNameForVersion() const
{
    return Naming::edlName(m_version);
}

QVariantList Confirmation::plannedRenames() const
{
    QVariantList list;
    for (const OriginalRename &rename : plannedOriginalRenames())
        if (rename.kind == OriginalRename::Kind::rename)
            list << QVariantMap{{QStringLiteral("from"), CopyPlanner::fileName(rename.from)},
                                {QStringLiteral("to"), CopyPlanner::fileName(rename.to)}};
    return list;
}

QVariantList Confirmation::keptNames() const
{
    QVariantList list;
    for (const OriginalRename &rename : plannedOriginalRenames())
        if (rename.kind == OriginalRename::Kind::nameTaken)
            list << QVariantMap{{QStringLiteral("name"), CopyPlanner::fileName(rename.from)},
                                {QStringLiteral("taken"), rename.finalName}};
    return list;
}

QVariantList Confirmation::surfacesForView() const
{
    QVariantList list;
    for (Surface surface : allSurfaces)
        list << QVariantMap{{QStringLiteral("surface"), rawValue(surface)},
                            {QStringLiteral("label"), label(surface)}};
    return list;
}

} // namespace tessera
