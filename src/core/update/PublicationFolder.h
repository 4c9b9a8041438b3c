#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trelvo {

// The folder a publisher lays out for a web server, reached through a
// descriptor of its own. Names in it are read, replaced and removed without
// following a link, and a file is replaced by renaming a new one over its
// name, so that no link or hard link placed in the folder leads a write, or a
// read that is published again, to a file outside it.
class PublicationFolder {
public:
    // Opens the folder at path, which must exist: a mistyped path is not made
    // into a new folder. A link as the folder itself is followed, as the
    // publisher named it.
    explicit PublicationFolder(const std::string& path);
    ~PublicationFolder();
    PublicationFolder(const PublicationFolder&) = delete;
    PublicationFolder& operator=(const PublicationFolder&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Why the folder did not open.
    const std::string& error() const { return error_; }

    // What a name in the folder is, the name itself and not what it links to.
    enum class Kind { missing, regularFile, other };
    Kind kind(const std::string& name) const;

    // The bytes of the regular file name; nullopt for a link or anything
    // else, or for a file larger than limit.
    std::optional<std::string> read(const std::string& name, std::size_t limit) const;

    // Writes bytes to a new hidden file in the folder, flushed to the disk,
    // and renames it over name, keeping the mode of a file there before.
    bool replace(const std::string& name, std::string_view bytes);

    // Removes name itself, whatever it is but a folder.
    bool remove(const std::string& name);

private:
    int fd_ = -1;
    std::string error_;
};

}  // namespace trelvo
