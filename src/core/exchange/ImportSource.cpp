#include "ImportSource.h"

#include <algorithm>
#include <utility>

namespace trelvo {

void ImportSource::fill(std::size_t size) {
    std::size_t done = buffer_.size();
    buffer_.resize(size);
    while (done < buffer_.size()) {
        const long n = file_->read(buffer_.data() + done, buffer_.size() - done);
        if (n < 0) failed_ = true;
        if (n == 0) ended_ = true;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    buffer_.resize(failed_ ? 0 : done);
}

std::string_view ImportSource::start(std::size_t size) {
    if (inMemory_) return bytes_.substr(0, size);
    if (!started_) buffer_.clear();
    if (!started_ || (!given_ && !ended_ && !failed_ && buffer_.size() < size)) fill(size);
    started_ = true;
    return std::string_view(buffer_.data(), buffer_.size());
}

std::string_view ImportSource::next() {
    if (inMemory_) {
        const std::string_view piece = bytes_.substr(0, pieceSize);
        bytes_.remove_prefix(piece.size());
        return piece;
    }
    if (!started_ || given_) {
        buffer_.clear();
        fill(pieceSize);
    }
    started_ = given_ = true;
    return std::string_view(buffer_.data(), buffer_.size());
}

std::string_view ImportSource::rest() {
    if (inMemory_) return std::exchange(bytes_, {});
    if (!started_) fill(pieceSize);
    if (given_) buffer_.clear();
    started_ = given_ = true;
    // The file's size as it was opened is the most there can be; a file
    // that grew since gives what it held then.
    buffer_.reserve(std::max(buffer_.size(), file_->size()));
    while (!failed_ && buffer_.size() < file_->size()) {
        const std::size_t done = buffer_.size();
        buffer_.resize(file_->size());
        const long n = file_->read(buffer_.data() + done, buffer_.size() - done);
        if (n <= 0) failed_ = true;  // a read error, or fewer bytes than its size
        else buffer_.resize(done + static_cast<std::size_t>(n));
    }
    if (failed_) buffer_.clear();
    return std::string_view(buffer_.data(), buffer_.size());
}

}  // namespace trelvo
