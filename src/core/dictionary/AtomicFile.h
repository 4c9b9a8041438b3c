#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Writes bytes to a temporary file beside path, flushes it to the disk and
// renames it over path: a failed or interrupted write leaves the old file
// whole. Returns false on any failure; the temporary file is then removed.
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace trelvo
