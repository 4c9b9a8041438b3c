// The commands of trelvo-tool and their options: the parser reads them, the
// usage shows them, and a test holds the manual page and the bash completion
// to them. A new option is added here.
#include "ToolCommand.h"
#include "TrelvoTool.h"

namespace trelvo {

namespace {

using Takes = ToolOption::Takes;

ToolOption value(std::string name, std::string valueName) {
    return {std::move(name), Takes::value, std::move(valueName)};
}
ToolOption required(std::string name, std::string valueName) {
    return {std::move(name), Takes::value, std::move(valueName), true};
}
ToolOption flag(std::string name) { return {std::move(name), Takes::nothing, ""}; }

const ToolOption side = value("side", "0|1");
const ToolOption tables = value("tables", "UPCHAR");
const ToolOption trustedKeys = value("trusted-keys", "KEYS");

}  // namespace

const std::vector<ToolCommand>& TrelvoTool::commands() {
    static const std::vector<ToolCommand> table = {
        {"info", "FILE", {}, "", &TrelvoTool::info},
        {"dump", "FILE", {side, tables}, "", &TrelvoTool::dump},
        {"make", "FILE",
         {required("name", "N"), required("lang0", "L"), required("charset0", "C"), required("lang1", "L"),
          required("charset1", "C"), value("author", "A"), value("version", "V"), value("note", "T"),
          value("id", "HEX8"), value("code", "CODE"), value("image0", "BMP"), value("image1", "BMP"),
          value("update-stamp", "YYYYMMDDHHMM")},
         "< TSV", &TrelvoTool::make},
        {"key", "", {tables, required("charset", "C")}, "TEXT", &TrelvoTool::key},
        {"search", "FILE", {side, tables, value("from", "LIST"), flag("timing")}, "TEXT...", &TrelvoTool::search},
        {"find", "FILE", {value("limit", "N"), flag("timing"), tables, value("from", "LIST")}, "QUERY",
         &TrelvoTool::find},
        {"import", "FILE TEXTFILE|CSV|TBX", {tables}, "", &TrelvoTool::importText},
        {"export", "FILE OUT",
         {value("format", "txt|utf8|csv|tbx|tbx2019|xlsx|dsl"), side, {"notes", Takes::words, "NOTE"},
          flag("translated-only"), tables},
         "", &TrelvoTool::exportEntries},
        {"sync", "FILE OTHER", {flag("import-only-ok"), flag("dry-run"), tables}, "", &TrelvoTool::sync},
        {"check-update", "FILE",
         {value("locations", "NETINI"), flag("yes"), tables, trustedKeys, flag("require-signed")}, "",
         &TrelvoTool::checkUpdate},
        {"keygen", "OUT", {value("comment", "TEXT")}, "", &TrelvoTool::keygen},
        {"sign", "FILE", {required("key", "KEYFILE")}, "", &TrelvoTool::sign},
        {"verify", "FILE", {trustedKeys}, "", &TrelvoTool::verify},
        {"publish", "FOLDER FILE...", {value("key", "KEYFILE")}, "", &TrelvoTool::publish},
    };
    return table;
}

}  // namespace trelvo
