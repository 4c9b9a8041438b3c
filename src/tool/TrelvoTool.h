#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ToolCommand.h"
#include "core/dictionary/DictionaryLock.h"

namespace trelvo {

class ToolArguments;

// The command-line front end for dictionary maintainers. Texts on its input and
// output are UTF-8; errors go to err and give exit status 1.
class TrelvoTool {
public:
    TrelvoTool(std::istream& in, std::ostream& out, std::ostream& err);

    // Runs the command args[0]; --help or -h alone, or COMMAND --help, prints
    // the usage instead.
    int run(const std::vector<std::string>& args);

    // Every command and its options, in the order the usage lists them.
    static const std::vector<ToolCommand>& commands();

private:
    int info(const ToolArguments& a);
    int dump(const ToolArguments& a);
    int make(const ToolArguments& a);
    int key(const ToolArguments& a);
    int search(const ToolArguments& a);
    int find(const ToolArguments& a);
    int importText(const ToolArguments& a);
    int exportEntries(const ToolArguments& a);
    int sync(const ToolArguments& a);
    int checkUpdate(const ToolArguments& a);
    // Publishing editions: TrelvoToolPublishing.cpp.
    int keygen(const ToolArguments& a);
    int sign(const ToolArguments& a);
    int verify(const ToolArguments& a);
    int publish(const ToolArguments& a);
    // Takes the lock of the dictionary at path for a command that writes it,
    // from before its read to after its save, or shared for one that only
    // reads it; waiting as long as another program holds it.
    void lockDictionary(DictionaryLock& lock, const std::string& path,
                        DictionaryLock::Access access = DictionaryLock::Access::write);
    // Before a large change is saved over the dictionary at path, its file
    // as it is goes to the backups. A copy that fails is said on err, and
    // the save goes on: the change was asked for.
    void backUp(const std::string& path);

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace trelvo
