#pragma once

#include "core/copy/SafeCopier.h"

#include <array>
#include <cstdlib>
#include <new>

namespace tessera {

// The two chunk buffers of one operation: while one is written or read, the other is hashed.
// Aligned for O_DIRECT.
class ChunkBuffers
{
public:
    ChunkBuffers()
    {
        for (char *&buffer : buffers_) {
            void *memory = nullptr;
            if (::posix_memalign(&memory, 4096, SafeCopier::chunk) != 0) {
                for (char *allocated : buffers_)
                    std::free(allocated);
                throw std::bad_alloc();
            }
            buffer = static_cast<char *>(memory);
        }
    }
    ~ChunkBuffers()
    {
        for (char *buffer : buffers_)
            std::free(buffer);
    }
    ChunkBuffers(const ChunkBuffers &) = delete;
    ChunkBuffers &operator=(const ChunkBuffers &) = delete;
    char *operator[](qint64 index) const { return buffers_[static_cast<size_t>(index % 2)]; }

private:
    std::array<char *, 2> buffers_{};
};

} // namespace tessera
