#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Export.h"
#include "core/dictionary/AtomicFile.h"
#include "ImportSource.h"
#include "TextImport.h"

namespace trelvo {

// The two shapes of TBX that translation tools read: the TBX of ISO
// 30042:2008 (martif, termEntry, langSet, tig, term) and TBX-Basic of ISO
// 30042:2019 (tbx, conceptEntry, langSec, termSec, term).
enum class TbxVersion { tbx2008, tbx2019 };

// The selected entries as TBX in UTF-8, one concept entry per entry, its two
// languages tagged with their ISO 639-1 codes (languageCode), the source side
// first. The entry's note becomes a <note>; where the entry came from (its
// flags) becomes <admin type="source">: "delivered" with the dictionary,
// "imported", or "user" for the user's own.
std::string tbxOf(const DictionaryStore& store, const ExportChoice& choice, TbxVersion version);

// The same, handed to put in pieces as the entries are written, so that the
// file is never whole in memory; false when put stopped it.
bool writeTbx(const DictionaryStore& store, const ExportChoice& choice, TbxVersion version, const ByteSink& put);

// What the start of a file says of it: a termbase is an XML document whose
// root is martif or tbx (with any prefix), after declarations, comments and
// a document type, in any encoding readTbx takes (UTF-16 of either order,
// marked or not, is decoded to look); undecided when the start ends before
// its root does.
enum class TermbaseStart { termbase, other, undecided };
TermbaseStart termbaseStartOf(std::string_view start);

// The most of a file looked at for the root of a termbase: a prolog longer
// than this is taken for no termbase's, so that telling a file's format
// never reads all of a large one.
inline constexpr std::size_t termbasePrologLimit = std::size_t{16} << 20;

// True when bytes are a termbase (termbaseStartOf), whatever the file is called.
bool isTermbase(std::string_view bytes);
// The same for the start of a source, read on past a long prolog up to
// termbasePrologLimit; nothing of it is used up.
bool isTermbase(ImportSource& source);

// The pairs of a TBX file of either shape, to sink: in each concept entry
// the terms of the dictionary's two languages, matched by xml:lang. The first
// term of one language pairs with every term of the other, so that each
// rendering gets a line of its own; a term's text is all the text inside
// it, markup left out. A term whose administrative status (or normative
// authorization) is deprecated, superseded or obsolete is left out and
// counted in reading's withdrawnTerms. The note is the definition in the
// language of the entry's term, else the concept's definition, else the
// first note of the concept or of the dictionary's languages; characters a
// code page lacks are counted in notes too. Languages of the file that the
// dictionary lacks are named in reading's leftLanguages; a file that is no
// XML gives no pairs and sets reading's error, in Czech with the line and
// column; entries before the fault have gone to sink by then. The file is
// read in pieces as it streams from the source, and of an entry only the
// texts it may give are kept, so that memory does not grow with the file;
// the time taken grows with the file's size alone, however its elements
// nest. The file is taken in its encoding: UTF-8, UTF-16 by its mark or its first
// '<', else the one its declaration names (windows-1250, ISO-8859-2,
// windows-1251 … as iconv knows them); an encoding iconv does not know sets
// reading's error.
void readTbx(ImportSource& source, const DictionaryHeader& header, const PairSink& sink,
             ImportReading* reading = nullptr);
void readTbx(std::string_view bytes, const DictionaryHeader& header, const PairSink& sink,
             ImportReading* reading = nullptr);

}  // namespace trelvo
