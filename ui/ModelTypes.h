#pragma once

// The application model's types as QML sees them, without the model depending on QML.

#include "app/AppModel.h"

#include <QtQml/qqml.h>

namespace tessera::qml {

struct AppModelType
{
    Q_GADGET
    QML_FOREIGN(tessera::AppModel)
    QML_NAMED_ELEMENT(AppModel)
    QML_UNCREATABLE("The application makes its one model.")
};

struct IdentityType
{
    Q_GADGET
    QML_FOREIGN(tessera::Identity)
    QML_NAMED_ELEMENT(Identity)
    QML_UNCREATABLE("Part of the model.")
};

struct IntakeType
{
    Q_GADGET
    QML_FOREIGN(tessera::Intake)
    QML_NAMED_ELEMENT(Intake)
    QML_UNCREATABLE("Part of the model.")
};

struct ReelChoiceType
{
    Q_GADGET
    QML_FOREIGN(tessera::ReelChoice)
    QML_NAMED_ELEMENT(ReelChoice)
    QML_UNCREATABLE("Part of the model.")
};

struct ConfirmationType
{
    Q_GADGET
    QML_FOREIGN(tessera::Confirmation)
    QML_NAMED_ELEMENT(Confirmation)
    QML_UNCREATABLE("Part of the model.")
};

struct CopyRunType
{
    Q_GADGET
    QML_FOREIGN(tessera::CopyRun)
    QML_NAMED_ELEMENT(CopyRun)
    QML_UNCREATABLE("Part of the model.")
};

struct NASSignInType
{
    Q_GADGET
    QML_FOREIGN(tessera::NASSignIn)
    QML_NAMED_ELEMENT(NASSignIn)
    QML_UNCREATABLE("Part of the model.")
};

struct VerdictType
{
    Q_GADGET
    QML_FOREIGN(tessera::Verdict)
    QML_NAMED_ELEMENT(Verdict)
    QML_UNCREATABLE("Part of the model.")
};

struct HelpDeskType
{
    Q_GADGET
    QML_FOREIGN(tessera::HelpDesk)
    QML_NAMED_ELEMENT(HelpDesk)
    QML_UNCREATABLE("Part of the model.")
};

struct KeyedListModelType
{
    Q_GADGET
    QML_FOREIGN(tessera::KeyedListModel)
    QML_NAMED_ELEMENT(KeyedListModel)
    QML_UNCREATABLE("Lists come from the model.")
};

struct TransferStatusType
{
    Q_GADGET
    QML_FOREIGN(tessera::TransferStatus)
    QML_VALUE_TYPE(transferStatus)
    QML_UNCREATABLE("Transfers come from the model.")
};

// The model's enumerations under the upper-case names QML can read: `Phase.Copying`,
// `FileState.Verifying`, `UsersState.Loaded`, `HelpState.Sending`, `Step.Confirm`.
namespace StepEnum {
Q_NAMESPACE
QML_NAMED_ELEMENT(Step)
enum Value { Drop = int(Step::drop), Confirm = int(Step::confirm), Copy = int(Step::copy) };
Q_ENUM_NS(Value)
} // namespace StepEnum

namespace PhaseEnum {
Q_NAMESPACE
QML_NAMED_ELEMENT(Phase)
using Kind = Workflow::PhaseKind;
enum Value {
    Idle = int(Kind::idle),
    CheckingNAS = int(Kind::checkingNAS),
    Connecting = int(Kind::connecting),
    Planning = int(Kind::planning),
    Copying = int(Kind::copying),
    Submitting = int(Kind::submitting),
    Confirming = int(Kind::confirming),
    Waiting = int(Kind::waiting),
    Finished = int(Kind::finished),
    Failed = int(Kind::failed),
};
Q_ENUM_NS(Value)
} // namespace PhaseEnum

namespace FileStateEnum {
Q_NAMESPACE
QML_NAMED_ELEMENT(FileState)
enum Value {
    Copying = int(FileState::copying),
    Verifying = int(FileState::verifying),
    Waiting = int(FileState::waiting),
    Done = int(FileState::done),
    Renamed = int(FileState::renamed),
    AlreadyThere = int(FileState::alreadyThere),
    Failed = int(FileState::failed),
    Stalled = int(FileState::stalled),
};
Q_ENUM_NS(Value)
} // namespace FileStateEnum

namespace UsersStateEnum {
Q_NAMESPACE
QML_NAMED_ELEMENT(UsersState)
enum Value {
    Loading = int(UsersState::loading),
    Loaded = int(UsersState::loaded),
    Unavailable = int(UsersState::unavailable),
};
Q_ENUM_NS(Value)
} // namespace UsersStateEnum

namespace HelpStateEnum {
Q_NAMESPACE
QML_NAMED_ELEMENT(HelpState)
using Kind = Workflow::HelpKind;
enum Value {
    Editing = int(Kind::editing),
    Sending = int(Kind::sending),
    Sent = int(Kind::sent),
    FellBack = int(Kind::fellBack),
    Failed = int(Kind::failed),
};
Q_ENUM_NS(Value)
} // namespace HelpStateEnum

} // namespace tessera::qml
