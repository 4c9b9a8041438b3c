#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/dictionary/LargeAllocator.h"
#include "core/dictionary/RegularFile.h"

namespace trelvo {

// The bytes of an import file: a file read in pieces as a streaming reader
// takes them, or read whole for the readers that need it so, or bytes
// already in memory.
class ImportSource {
public:
    // The size of a piece: large enough that each read costs little, small
    // enough that a file of hundreds of megabytes is never whole in memory.
    static constexpr std::size_t pieceSize = std::size_t{1} << 20;

    explicit ImportSource(std::string_view bytes) : bytes_(bytes), inMemory_(true) {}
    // The file must stay open while the source is used.
    explicit ImportSource(RegularFile& file) : file_(&file) {}

    // The first bytes, at most size (fewer at the end of the file), without
    // using them up: enough to tell the format. Called before next, it may
    // be called again with a larger size to look further; next then gives
    // all of them as its first piece.
    std::string_view start(std::size_t size = pieceSize);
    // The next piece, the first one included; empty at the end or after a read error.
    std::string_view next();
    // All the bytes not given by next yet, the start included; empty after a read error.
    std::string_view rest();
    // True once the file could not be read to its end.
    bool failed() const { return failed_; }

private:
    void fill(std::size_t size);  // reads on until buffer_ holds size bytes or the file ends

    std::string_view bytes_;  // of a source in memory, what next has not given
    bool inMemory_ = false;
    RegularFile* file_ = nullptr;
    LargeString buffer_;  // a piece of the file, or all of it for rest
    bool started_ = false, given_ = false, failed_ = false, ended_ = false;
};

}  // namespace trelvo
