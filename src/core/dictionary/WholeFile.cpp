#include "WholeFile.h"

#include "RegularFile.h"

namespace trelvo {

template <typename Bytes>
bool readWholeFile(const std::string& path, Bytes& bytes, std::size_t limit, bool roomToGrow) {
    RegularFile file;
    if (!file.open(path, limit)) return false;
    const std::size_t size = file.size();
    if (roomToGrow) bytes.reserve(size + size / 4);
    bytes.resize(size);
    for (std::size_t done = 0; done < bytes.size();) {
        const long n = file.read(bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;  // fewer bytes than its size, or a read error
        done += static_cast<std::size_t>(n);
    }
    return true;
}

template bool readWholeFile(const std::string&, std::string&, std::size_t, bool);
template bool readWholeFile(const std::string&, LargeString&, std::size_t, bool);

}  // namespace trelvo
