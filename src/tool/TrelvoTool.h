#pragma once

#include <iosfwd>
#include <string>
#include <vector>

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

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace trelvo
