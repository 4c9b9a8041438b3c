#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UpdateCheck.h"

namespace trelvo {

// The date and time fields of an autoupdt.cfg line, "day.month.year" and
// "hour:minute", whose publicationStamp() is stamp ("YYYYMMDDHHMM"); nullopt
// when stamp is not twelve digits of a possible date and time.
struct PublicationTime {
    std::string date;
    std::string time;
};
std::optional<PublicationTime> publicationTimeOfStamp(std::string_view stamp);

// A dictionary's version as the one word autoupdt.cfg has room for: a reader
// takes the version up to the first white space, and the word after it for
// the signed mark, so white space and control bytes become no-break spaces
// (code page 1250), which show as spaces in the question. An empty version
// becomes "-", as the line needs all its fields.
std::string publishedVersion(std::string_view version);

// Whether a dictionary file may be published under this name: the line names
// it in one word and the program requests it as it stands, so only letters
// and digits of ASCII and "._-+~" are taken.
bool publishableFileName(std::string_view name);

// The line of autoupdt.cfg for an edition, without its line end.
std::string publishedEditionLine(const PublishedEdition& edition);

// An autoupdt.cfg with new lines in it, and what became of its old ones.
struct MergedConfiguration {
    std::string text;
    std::size_t replaced = 0;  // old lines of a dictionary published again
    std::size_t kept = 0;      // other lines not blank, byte for byte as they were
    std::size_t added = 0;     // editions of dictionaries the file did not name
};

// The old text with each edition's line in it: the first old line that reads
// as an edition of the same ID is replaced, any later ones are dropped (the
// program reads only the first), and editions of other IDs are appended in
// their order. The lines are those the update check reads, so that a NUL
// ends one as a line feed does; they are kept with their own line ends, and
// the text ends with one.
MergedConfiguration mergeUpdateConfiguration(std::string_view oldText, const std::vector<PublishedEdition>& editions);

}  // namespace trelvo
