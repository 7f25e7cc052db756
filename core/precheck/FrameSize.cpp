#include "core/precheck/FrameSize.h"

namespace tessera {

QString FrameSize::text() const
{
    return QString::number(width) + QChar(0x00D7) + QString::number(height);
}

} // namespace tessera
