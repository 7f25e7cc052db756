#pragma once

namespace tessera {

// Assigns and says whether the field changed, so that only a real change is announced.
template<typename T, typename U>
bool change(T &field, const U &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace tessera
