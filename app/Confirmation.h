#pragma once

#include "app/KeyedListModel.h"
#include "app/RunState.h"
#include "core/copy/EDLRewriter.h"
#include "core/copy/OriginalRenamePlanner.h"
#include "core/naming/SlotCheck.h"

#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <optional>

namespace tessera {

class Identity;
class Intake;
class ReelChoice;
class Settings;

// The confirm step's side of the model: the version, the options and the note, everything the
// step shows about the files (problems, new names, the EDL, the planned renames of the originals)
// and whether "Copy and submit" may be pressed.
class Confirmation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(tessera::KeyedListModel *table READ tableModel CONSTANT)
    Q_PROPERTY(QString version READ version NOTIFY versionChanged)
    Q_PROPERTY(bool newEDL READ newEDL WRITE setNewEDL NOTIFY newEDLChanged)
    Q_PROPERTY(QString note READ note WRITE setNote NOTIFY noteChanged)
    Q_PROPERTY(bool noteTooLong READ noteTooLong NOTIFY noteChanged)
    Q_PROPERTY(bool renameOriginals READ renameOriginals WRITE setRenameOriginals NOTIFY
                   renameOriginalsChanged)
    Q_PROPERTY(QString completenessWarning READ completenessWarningText NOTIFY derivedChanged)
    Q_PROPERTY(QString edlFinalName READ edlFinalName NOTIFY derivedChanged)
    Q_PROPERTY(QVariantList edlNameSegments READ edlNameSegments NOTIFY derivedChanged)
    Q_PROPERTY(QStringList edlProblems READ edlProblems NOTIFY derivedChanged)
    Q_PROPERTY(QString edlClipNote READ edlClipNote NOTIFY derivedChanged)
    Q_PROPERTY(QString edlNameForVersion READ edlNameForVersion NOTIFY versionChanged)
    Q_PROPERTY(QVariantList plannedRenames READ plannedRenames NOTIFY derivedChanged)
    Q_PROPERTY(QVariantList keptNames READ keptNames NOTIFY derivedChanged)
    Q_PROPERTY(QString submitBlocker READ submitBlockerText NOTIFY gatesChanged)
    Q_PROPERTY(bool canSubmit READ canSubmit NOTIFY gatesChanged)
    Q_PROPERTY(QVariantList surfaces READ surfacesForView CONSTANT)

public:
    static constexpr int maxNoteLength = 2000;

    Confirmation(const Intake &intake, const ReelChoice &reels, const Identity &identity,
                 Settings &settings, QObject *parent = nullptr);
    ~Confirmation() override;

    QString version() const { return m_version; }
    bool newEDL() const { return m_newEDL; }
    QString note() const { return m_note; }
    bool renameOriginals() const { return m_renameOriginals; }
    // More than maxNoteLength characters.
    bool noteTooLong() const;

    void setVersion(const QString &version);
    void setNewEDL(bool newEDL);
    void setNote(const QString &note);
    // Remembered as the default for the next start.
    void setRenameOriginals(bool on);

    // The submission as it stands, without a key; none while no reel is picked.
    std::optional<RunState> draft() const;

    SlotCheck slotCheck() const;
    std::optional<QString> finalName(const DroppedFile &file) const;
    QList<QStringList> fileProblems() const;
    QStringList edlProblems() const;
    std::optional<EDLRewriter::Result> rewrittenEDL() const;
    std::optional<QString> completenessWarning() const;
    QList<OriginalRename> plannedOriginalRenames() const;
    // The first reason why the run may not start, in the order the editor should mend them.
    std::optional<QString> submitBlocker() const;
    bool canSubmit() const;

    KeyedListModel *tableModel() const { return m_table; }
    QString completenessWarningText() const { return completenessWarning().value_or(QString()); }
    QString edlFinalName() const;
    QVariantList edlNameSegments() const;
    QString edlClipNote() const;
    QString edlNameForVersion() const;
    QVariantList plannedRenames() const;
    QVariantList keptNames() const;
    QString submitBlockerText() const { return submitBlocker().value_or(QString()); }
    QVariantList surfacesForView() const;

Q_SIGNALS:
    void versionChanged();
    void newEDLChanged();
    void noteChanged();
    void renameOriginalsChanged();
    void derivedChanged();
    void gatesChanged();

private:
    struct Derived;
    // Derived values depend on many fields; they are worked out once per change, when read.
    const Derived &derived() const;
    void invalidate();
    void publish();

    const Intake &m_intake;
    const ReelChoice &m_reels;
    const Identity &m_identity;
    Settings &m_settings;
    QString m_version;
    bool m_newEDL = false;
    QString m_note;
    bool m_renameOriginals = true;
    mutable std::unique_ptr<Derived> m_derived;
    bool m_publishQueued = false;
    KeyedListModel *m_table = nullptr;
};

} // namespace tessera
