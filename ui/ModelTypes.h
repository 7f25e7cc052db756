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

} // namespace tessera::qml
