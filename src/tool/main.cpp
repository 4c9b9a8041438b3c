#include <iostream>

#include "TrelvoTool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    trelvo::TrelvoTool tool(std::cin, std::cout, std::cerr);
    return tool.run(std::vector<std::string>(argv + 1, argv + argc));
}
