// trelvo_bench_generate: the data of bench/compare.sh. Czech signalling terms
// of one to four words with English translations, drawn from word pools so
// that they read like a real terminology dictionary; the same for the same
// seed. Writes into FOLDER:
//   dictionary.tsv  the user's dictionary, term<TAB>translation<TAB>note<TAB>flags
//                   (UTF-8); every tenth entry is the user's own (flags 2)
//   edition.tsv     a newer edition of it with as many entries: most delivered
//                   entries again, a few dropped, new ones in their place
//   words.txt       an import word list in UTF-16 LE, term<TAB>translation,
//                   mostly new pairs, a few already in the dictionary
//   searches.txt    search texts, one a line (UTF-8): terms as stored, in
//                   capitals, without diacritics, mistyped and half typed
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "CzechLetters.h"
#include "core/dictionary/CodePage.h"

using trelvo::CodePage;

namespace {

struct Noun {
    const char* cs;
    char gender;  // m, f, n: the adjective's ending follows it
    const char* en;
    const char* enOther;  // another translation, or nullptr
};

// Czech adjectives in their masculine form: "-ý" ones change with the gender
// of the noun, "-í" ones do not.
struct Adjective {
    const char* cs;
    const char* en;
    const char* enOther;
};

// A genitive that follows the noun ("počítač náprav"); in English it leads
// ("axle counter").
struct Complement {
    const char* cs;
    const char* en;
};

const Noun nouns[] = {
    {"návěstidlo", 'n', "signal", nullptr},
    {"předvěst", 'f', "distant signal", "warning signal"},
    {"návěst", 'f', "aspect", "signal aspect"},
    {"výhybka", 'f', "points", "switch"},
    {"přejezd", 'm', "level crossing", "grade crossing"},
    {"stavědlo", 'n', "interlocking", "signal box"},
    {"obvod", 'm', "circuit", nullptr},
    {"relé", 'n', "relay", nullptr},
    {"závora", 'f', "barrier", "gate"},
    {"hradlo", 'n', "block post", nullptr},
    {"počítač", 'm', "counter", "computer"},
    {"kolej", 'f', "track", nullptr},
    {"trať", 'f', "line", "railway line"},
    {"zámek", 'm', "lock", nullptr},
    {"závěr", 'm', "locking", "lock"},
    {"přestavník", 'm', "point machine", "switch machine"},
    {"jazyk", 'm', "switch blade", "switch rail"},
    {"srdcovka", 'f', "frog", "crossing nose"},
    {"styk", 'm', "joint", "rail joint"},
    {"balíza", 'f', "balise", nullptr},
    {"smyčka", 'f', "loop", "cable loop"},
    {"vysílač", 'm', "transmitter", nullptr},
    {"přijímač", 'm', "receiver", nullptr},
    {"kabel", 'm', "cable", nullptr},
    {"skříň", 'f', "cabinet", "case"},
    {"panel", 'm', "panel", nullptr},
    {"pult", 'm', "desk", "console"},
    {"displej", 'm', "display", nullptr},
    {"světlo", 'n', "light", nullptr},
    {"žárovka", 'f', "lamp", "bulb"},
    {"svítilna", 'f', "lamp", "lantern"},
    {"transformátor", 'm', "transformer", nullptr},
    {"napájení", 'n', "power supply", "feed"},
    {"baterie", 'f', "battery", nullptr},
    {"usměrňovač", 'm', "rectifier", nullptr},
    {"ochrana", 'f', "protection", nullptr},
    {"blokování", 'n', "blocking", "interlocking"},
    {"cesta", 'f', "route", "path"},
    {"posun", 'm', "shunting", "switching"},
    {"rychlost", 'f', "speed", nullptr},
    {"brzda", 'f', "brake", nullptr},
    {"křivka", 'f', "curve", nullptr},
    {"dohled", 'm', "supervision", "monitoring"},
    {"porucha", 'f', "failure", "fault"},
    {"diagnostika", 'f', "diagnostics", nullptr},
    {"ovládání", 'n', "control", "operation"},
    {"řízení", 'n', "control", "management"},
    {"dispečer", 'm', "dispatcher", "controller"},
    {"zařízení", 'n', "equipment", "system"},
    {"systém", 'm', "system", nullptr},
    {"modul", 'm', "module", "unit"},
    {"deska", 'f', "board", "card"},
    {"procesor", 'm', "processor", nullptr},
    {"rozhraní", 'n', "interface", nullptr},
    {"spojení", 'n', "connection", "link"},
    {"vedení", 'n', "line", "lead"},
    {"vodič", 'm', "conductor", "wire"},
    {"uzemnění", 'n', "earthing", "grounding"},
    {"proud", 'm', "current", nullptr},
    {"napětí", 'n', "voltage", nullptr},
    {"odpor", 'm', "resistance", "resistor"},
    {"kondenzátor", 'm', "capacitor", nullptr},
    {"cívka", 'f', "coil", nullptr},
    {"kontakt", 'm', "contact", nullptr},
    {"spínač", 'm', "switch", nullptr},
    {"tlačítko", 'n', "button", "push button"},
    {"klíč", 'm', "key", nullptr},
    {"závislost", 'f', "interlocking", "dependence"},
    {"podmínka", 'f', "condition", nullptr},
    {"stav", 'm', "state", "status"},
    {"hlášení", 'n', "indication", "report"},
    {"poplach", 'm', "alarm", nullptr},
    {"zkouška", 'f', "test", nullptr},
    {"revize", 'f', "inspection", "revision"},
    {"údržba", 'f', "maintenance", nullptr},
    {"náprava", 'f', "axle", nullptr},
    {"souprava", 'f', "train set", "set"},
    {"lokomotiva", 'f', "locomotive", "engine"},
    {"vůz", 'm', "wagon", "car"},
    {"nástupiště", 'n', "platform", nullptr},
    {"výkolejka", 'f', "derailer", "trap point"},
    {"zarážedlo", 'n', "buffer stop", "bumper"},
    {"oddíl", 'm', "section", "block section"},
    {"úsek", 'm', "section", "track section"},
    {"hranice", 'f', "limit", "boundary"},
    {"námezník", 'm', "clearance point", "fouling mark"},
    {"ukazatel", 'm', "indicator", nullptr},
    {"měřič", 'm', "meter", nullptr},
    {"snímač", 'm', "sensor", "detector"},
    {"čidlo", 'n', "sensor", nullptr},
    {"kódování", 'n', "coding", "code"},
    {"kmitočet", 'm', "frequency", nullptr},
    {"filtr", 'm', "filter", nullptr},
    {"zesilovač", 'm', "amplifier", nullptr},
    {"pojistka", 'f', "fuse", nullptr},
    {"jistič", 'm', "circuit breaker", nullptr},
    {"ohřev", 'm', "heating", nullptr},
    {"osvětlení", 'n', "lighting", nullptr},
    {"rozvaděč", 'm', "switchboard", "distribution board"},
    {"ústředna", 'f', "exchange", "centre"},
    {"telefon", 'm', "telephone", nullptr},
    {"rozhlas", 'm', "public address", nullptr},
    {"hodiny", 'f', "clock", nullptr},
    {"záznamník", 'm', "recorder", "logger"},
    {"tachograf", 'm', "tachograph", nullptr},
    {"odjezd", 'm', "departure", nullptr},
    {"příjezd", 'm', "arrival", nullptr},
    {"vjezd", 'm', "entry", nullptr},
    {"průjezd", 'm', "passage", "run-through"},
    {"obsluha", 'f', "operation", "operator"},
    {"výstraha", 'f', "warning", nullptr},
    {"houkačka", 'f', "horn", nullptr},
    {"zvonec", 'm', "bell", nullptr},
};

const Adjective adjectives[] = {
    {"hlavní", "main", "principal"},
    {"vjezdový", "home", "entry"},
    {"odjezdový", "starting", "exit"},
    {"cestový", "intermediate", "route"},
    {"seřaďovací", "shunting", "marshalling"},
    {"zabezpečovací", "signalling", "safety"},
    {"kolejový", "track", nullptr},
    {"výhybkový", "points", "switch"},
    {"přejezdový", "level crossing", nullptr},
    {"traťový", "line", "wayside"},
    {"staniční", "station", nullptr},
    {"automatický", "automatic", nullptr},
    {"elektronický", "electronic", nullptr},
    {"reléový", "relay", nullptr},
    {"mechanický", "mechanical", nullptr},
    {"elektrický", "electric", "electrical"},
    {"světelný", "colour-light", "light"},
    {"opakovací", "repeating", "repeater"},
    {"předvěstní", "distant", nullptr},
    {"ochranný", "protective", "protection"},
    {"bezpečný", "vital", "safe"},
    {"poruchový", "fault", "failure"},
    {"náhradní", "substitute", "backup"},
    {"nouzový", "emergency", nullptr},
    {"místní", "local", nullptr},
    {"dálkový", "remote", nullptr},
    {"centrální", "central", nullptr},
    {"digitální", "digital", nullptr},
    {"analogový", "analogue", "analog"},
    {"redundantní", "redundant", nullptr},
    {"dvoukanálový", "dual-channel", "two-channel"},
    {"izolovaný", "insulated", nullptr},
    {"kódový", "coded", "code"},
    {"frekvenční", "frequency", nullptr},
    {"napájecí", "supply", "feed"},
    {"řídicí", "control", "controlling"},
    {"ovládací", "operating", "control"},
    {"kontrolní", "monitoring", "check"},
    {"zkušební", "test", nullptr},
    {"provozní", "operational", "service"},
    {"servisní", "maintenance", "service"},
    {"vlakový", "train", nullptr},
    {"posunový", "shunt", "shunting"},
    {"brzdový", "brake", "braking"},
    {"rychlostní", "speed", nullptr},
    {"vnější", "outer", "external"},
    {"vnitřní", "inner", "internal"},
    {"levý", "left-hand", "left"},
    {"pravý", "right-hand", "right"},
    {"horní", "upper", "top"},
    {"dolní", "lower", "bottom"},
    {"přenosný", "portable", nullptr},
    {"pevný", "fixed", nullptr},
    {"pohyblivý", "movable", nullptr},
    {"sdružený", "combined", nullptr},
    {"jednoduchý", "single", "simple"},
    {"dvojitý", "double", nullptr},
    {"nový", "new", nullptr},
    {"starý", "old", "legacy"},
    {"žlutý", "yellow", nullptr},
    {"zelený", "green", nullptr},
    {"červený", "red", nullptr},
    {"bílý", "white", nullptr},
    {"modrý", "blue", nullptr},
    {"přerušovaný", "flashing", nullptr},
    {"stálý", "steady", "permanent"},
    {"trvalý", "permanent", "continuous"},
    {"přechodný", "temporary", "transient"},
    {"hranový", "edge", nullptr},
    {"úrovňový", "level", nullptr},
    {"počítačový", "computer", "computer-based"},
    {"kabelový", "cable", nullptr},
    {"optický", "optical", "fibre-optic"},
    {"rádiový", "radio", nullptr},
    {"mobilní", "mobile", nullptr},
    {"bodový", "intermittent", "spot"},
    {"liniový", "continuous", "linear"},
    {"souhlasný", "agreeing", "concordant"},
    {"nesouhlasný", "disagreeing", nullptr},
    {"obousměrný", "bidirectional", "two-way"},
    {"jednosměrný", "unidirectional", "one-way"},
};

const Complement complements[] = {
    {"výhybky", "points"},
    {"přejezdu", "level crossing"},
    {"stavědla", "interlocking"},
    {"návěstidla", "signal"},
    {"trati", "line"},
    {"stanice", "station"},
    {"koleje", "track"},
    {"vlaku", "train"},
    {"závory", "barrier"},
    {"hradla", "block post"},
    {"náprav", "axle"},
    {"relé", "relay"},
    {"obvodu", "circuit"},
    {"rychlosti", "speed"},
    {"brzdy", "brake"},
    {"napájení", "power supply"},
    {"izolace", "insulation"},
    {"poruchy", "failure"},
    {"dispečera", "dispatcher"},
    {"přestavníku", "point machine"},
    {"balízy", "balise"},
    {"smyčky", "loop"},
    {"oddílu", "section"},
    {"úseku", "section"},
    {"nástupiště", "platform"},
    {"vozidla", "vehicle"},
    {"lokomotivy", "locomotive"},
    {"strojvedoucího", "driver"},
    {"výpravčího", "signaller"},
    {"posunu", "shunting"},
    {"jízdy", "movement"},
    {"odjezdu", "departure"},
    {"vjezdu", "entry"},
    {"kabelu", "cable"},
    {"zámku", "lock"},
    {"jazyka", "blade"},
    {"srdcovky", "frog"},
    {"zabezpečovacího zařízení", "signalling equipment"},
    {"kolejového obvodu", "track circuit"},
    {"vlakové cesty", "train route"},
    {"posunové cesty", "shunting route"},
    {"elektrického ohřevu", "electric heating"},
    {"počítače náprav", "axle counter"},
    {"hlavního návěstidla", "main signal"},
    {"traťového zabezpečovacího zařízení", "line signalling"},
};

const char* const notes[] = {"zkr.",    "hovor.", "ETCS",  "přejezdy", "staniční",
                             "traťové", "brit.",  "amer.", "zast."};

template <typename T, std::size_t N>
constexpr std::size_t countOf(const T (&)[N]) {
    return N;
}

std::size_t wordsIn(std::string_view text) {
    std::size_t words = 1;
    for (char c : text) words += c == ' ';
    return words;
}

bool repeatsAWord(std::string_view text) {
    std::string_view previous;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        if (word == previous) return true;
        previous = word;
        text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
    }
    return false;
}

// The adjective agreeing with a noun of the gender.
std::string agreeing(std::string_view masculine, char gender) {
    static constexpr std::string_view hard = "ý";
    if (gender == 'm' || masculine.substr(masculine.size() - hard.size()) != hard) return std::string(masculine);
    std::string form(masculine.substr(0, masculine.size() - hard.size()));
    return form + (gender == 'f' ? "á" : "é");
}

struct Term {
    std::string cs, en, note;
};

class TermMaker {
public:
    explicit TermMaker(unsigned seed) : random_(seed) {}

    // A term of 1 to 4 words, mostly three or four as in a real dictionary
    // of the field.
    Term make() {
        const Noun& noun = nouns[pick(countOf(nouns))];
        Term t;
        const int shape = static_cast<int>(pick(100));
        if (shape < 3) {
            t.cs = noun.cs;
            t.en = english(noun.en, noun.enOther);
        } else if (shape < 13) {
            const Adjective& a = adjectives[pick(countOf(adjectives))];
            t.cs = agreeing(a.cs, noun.gender) + " " + noun.cs;
            t.en = english(a.en, a.enOther) + " " + english(noun.en, noun.enOther);
        } else if (shape < 18) {
            const Complement& c = complements[pick(countOf(complements))];
            t.cs = std::string(noun.cs) + " " + c.cs;
            t.en = std::string(c.en) + " " + english(noun.en, noun.enOther);
        } else if (shape < 50) {
            const Adjective& a = adjectives[pick(countOf(adjectives))];
            const Complement& c = complements[pick(countOf(complements))];
            t.cs = agreeing(a.cs, noun.gender) + " " + noun.cs + " " + c.cs;
            t.en = std::string(c.en) + " " + english(a.en, a.enOther) + " " + english(noun.en, noun.enOther);
        } else if (shape < 70) {
            const auto [a, b] = twoAdjectives();
            t.cs = agreeing(a.cs, noun.gender) + " " + agreeing(b.cs, noun.gender) + " " + noun.cs;
            t.en = english(a.en, a.enOther) + " " + english(b.en, b.enOther) + " " + english(noun.en, noun.enOther);
        } else {
            const auto [a, b] = twoAdjectives();
            const Complement& c = complements[pick(countOf(complements))];
            t.cs = agreeing(a.cs, noun.gender) + " " + agreeing(b.cs, noun.gender) + " " + noun.cs + " " + c.cs;
            t.en = std::string(c.en) + " " + english(a.en, a.enOther) + " " + english(b.en, b.enOther) + " " +
                   english(noun.en, noun.enOther);
        }
        // A two-word complement behind three words is too long; a noun and
        // its genitive can read the same ("relé relé").
        if (wordsIn(t.cs) > 4 || repeatsAWord(t.cs)) return make();
        if (pick(100) < 12) t.note = notes[pick(countOf(notes))];
        return t;
    }

    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
    std::mt19937& random() { return random_; }

private:
    // Two different adjectives.
    std::pair<const Adjective&, const Adjective&> twoAdjectives() {
        const std::size_t first = pick(countOf(adjectives));
        const std::size_t second = (first + 1 + pick(countOf(adjectives) - 1)) % countOf(adjectives);
        return {adjectives[first], adjectives[second]};
    }

    std::string english(const char* usual, const char* other) {
        return other && pick(4) == 0 ? other : usual;
    }

    std::mt19937 random_;
};

// Distinct entries: a pair of term and translation is drawn again until it
// is new. A Czech term comes again with another translation now and then, as
// in a real dictionary, but mostly terms are drawn again until they are new.
std::vector<Term> distinctTerms(std::size_t count, TermMaker& maker) {
    std::vector<Term> terms;
    terms.reserve(count);
    std::unordered_set<std::string> seenTerms, seenPairs;
    seenTerms.reserve(count);
    seenPairs.reserve(count);
    while (terms.size() < count) {
        Term t = maker.make();
        if (seenPairs.count(t.cs + '\t' + t.en) > 0) continue;
        if (!seenTerms.insert(t.cs).second && maker.pick(8) != 0) continue;
        seenPairs.insert(t.cs + '\t' + t.en);
        terms.push_back(std::move(t));
    }
    return terms;
}

bool isUserEntry(std::size_t n) { return n % 10 == 9; }
bool droppedFromEdition(std::size_t n) { return n % 20 == 0; }

void writeTsvLine(std::ofstream& out, const Term& t, int flags) {
    out << t.cs << '\t' << t.en << '\t' << t.note << '\t' << flags << '\n';
}

void putUtf16(std::string& out, std::u16string_view text) {
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
}

using czech_letters::capitals;
using czech_letters::withoutDiacritics;

// What a user types into the search box, made from a term of the dictionary.
std::string searchText(const std::string& term, TermMaker& maker) {
    static const std::u16string letters = u"abcdeehiklmnoprstuvyzáčéěířšůýž";
    std::u16string text = CodePage::utf8ToUtf16(term);
    const std::size_t kind = maker.pick(100);
    if (kind < 45) {
        // as stored
    } else if (kind < 55) {
        text = maker.pick(2) ? capitals(text) : capitals(text.substr(0, 1)) + text.substr(1);
    } else if (kind < 65) {
        text = withoutDiacritics(text);
    } else if (kind < 85) {
        const std::size_t at = maker.pick(text.size());
        if (maker.pick(3) == 0 && text.size() > 3) text.erase(at, 1);
        else text[at] = letters[maker.pick(letters.size())];
    } else if (text.size() > 3) {
        text.resize(3 + maker.pick(text.size() - 3));
    }
    return CodePage::utf16ToUtf8(text);
}

long numberArgument(const char* text, const char* what) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 1 || value > 50'000'000) {
        std::fprintf(stderr, "trelvo_bench_generate: bad %s: %s\n", what, text);
        std::exit(1);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr, "usage: trelvo_bench_generate FOLDER ENTRIES [WORDS [SEARCHES [SEED]]]\n");
        return 1;
    }
    const std::string folder = argv[1];
    const auto entries = static_cast<std::size_t>(numberArgument(argv[2], "entry count"));
    const auto words = static_cast<std::size_t>(argc > 3 ? numberArgument(argv[3], "word count") : 100'000);
    const auto searches = static_cast<std::size_t>(argc > 4 ? numberArgument(argv[4], "search count") : 10'000);
    const auto seed = static_cast<unsigned>(argc > 5 ? numberArgument(argv[5], "seed") : 1);

    TermMaker maker(seed);
    // The dictionary's entries, then the edition's new ones (as many as it
    // drops), then the word list's new ones, all different from each other.
    std::size_t dropped = 0;
    for (std::size_t n = 0; n < entries; ++n) dropped += !isUserEntry(n) && droppedFromEdition(n);
    std::size_t userEntries = 0;
    for (std::size_t n = 0; n < entries; ++n) userEntries += isUserEntry(n);
    const std::size_t editionNew = dropped + userEntries;
    const std::size_t wordsKnown = (words + 19) / 20;  // every twentieth line is there already
    const std::vector<Term> terms = distinctTerms(entries + editionNew + (words - wordsKnown), maker);

    std::ofstream dictionary(folder + "/dictionary.tsv", std::ios::binary);
    for (std::size_t n = 0; n < entries; ++n) writeTsvLine(dictionary, terms[n], isUserEntry(n) ? 2 : 0);

    std::ofstream edition(folder + "/edition.tsv", std::ios::binary);
    for (std::size_t n = 0; n < entries; ++n)
        if (!isUserEntry(n) && !droppedFromEdition(n)) writeTsvLine(edition, terms[n], 0);
    for (std::size_t n = entries; n < entries + editionNew; ++n) writeTsvLine(edition, terms[n], 0);

    std::string list("\xFF\xFE", 2);
    for (std::size_t i = 0; i < words; ++i) {
        const Term& t = i % 20 == 0 ? terms[maker.pick(entries)] : terms[entries + editionNew + i - i / 20 - 1];
        putUtf16(list, CodePage::utf8ToUtf16(t.cs + '\t' + t.en + "\r\n"));
    }
    std::ofstream(folder + "/words.txt", std::ios::binary) << list;

    std::ofstream texts(folder + "/searches.txt", std::ios::binary);
    for (std::size_t i = 0; i < searches; ++i) texts << searchText(terms[maker.pick(entries)].cs, maker) << '\n';

    if (!dictionary.flush() || !edition.flush() || !texts.flush()) {
        std::fprintf(stderr, "trelvo_bench_generate: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
