#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/dictionary/DictionaryLock.h"

namespace trelvo {

// The command-line front end for dictionary maintainers. Texts on its input and
// output are UTF-8; errors go to err and give exit status 1.
class TrelvoTool {
public:
    TrelvoTool(std::istream& in, std::ostream& out, std::ostream& err);

    int run(const std::vector<std::string>& args);

private:
    int info(const std::vector<std::string>& args);
    int dump(const std::vector<std::string>& args);
    int make(const std::vector<std::string>& args);
    int key(const std::vector<std::string>& args);
    int search(const std::vector<std::string>& args);
    int importText(const std::vector<std::string>& args);
    int exportEntries(const std::vector<std::string>& args);
    int sync(const std::vector<std::string>& args);
    int checkUpdate(const std::vector<std::string>& args);
    // Publishing editions: TrelvoToolPublishing.cpp.
    int keygen(const std::vector<std::string>& args);
    int sign(const std::vector<std::string>& args);
    int verify(const std::vector<std::string>& args);
    int publish(const std::vector<std::string>& args);
    // Takes the lock of the dictionary at path for a command that writes it,
    // from before its read to after its save, or shared for one that only
    // reads it; waiting as long as another program holds it.
    void lockDictionary(DictionaryLock& lock, const std::string& path,
                        DictionaryLock::Access access = DictionaryLock::Access::write);

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace trelvo
