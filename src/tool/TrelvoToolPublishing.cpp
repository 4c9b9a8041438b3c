// The commands of an edition's publisher: a key pair, signatures, and the
// folder a static web server hands to the update check.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <set>

#include "PrintableText.h"
#include "ToolArguments.h"
#include "ToolError.h"
#include "TrelvoTool.h"
#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/WholeFile.h"
#include "core/settings/ProgramFolder.h"
#include "core/settings/ProgramPaths.h"
#include "core/update/EditionPublishing.h"
#include "core/update/EditionSignature.h"
#include "core/update/PublicationFolder.h"
#include "core/update/SignaturePolicy.h"
#include "core/update/UpdateCheck.h"

namespace trelvo {

namespace fs = std::filesystem;

namespace {

// A key file holds a few comment lines and one key.
constexpr std::size_t keyFileLimit = 64 * 1024;

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::string readFile(const std::string& path, std::size_t limit, const std::string& what) {
    std::string bytes;
    if (!readWholeFile(path, bytes, limit))
        throw ToolError("cannot read " + what + " " + path + ": missing, not a regular file, or larger than " +
                        std::to_string(limit) + " bytes");
    return bytes;
}

void writeFile(const std::string& path, std::string_view bytes) {
    if (!replaceFileAtomically(path, bytes)) throw ToolError("cannot write " + path);
}

SigningKey readSigningKey(const std::string& path) {
    std::optional<SigningKey> key = parseSigningKeyFile(readFile(path, keyFileLimit, "key file"));
    if (!key) throw ToolError("no signing key in " + path);
    return *key;
}

// The private key goes to a new file only its owner may read: an existing
// file is never replaced, as it may be the key of editions already out.
void writePrivateKeyFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw ToolError("cannot create " + path + ": " + std::strerror(errno));
    bool written = ::fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    written = written && ::fsync(fd) == 0;
    if (::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(path.c_str());
        throw ToolError("cannot write " + path);
    }
}

// A comment shares its line with the key: it may not break the line.
std::string checkedComment(const std::string& comment) {
    for (char c : comment)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7F')
            throw ToolError("--comment may not hold line breaks or other control characters");
    return comment;
}

// "YYYYMMDDHHMM" of the present moment, in local time as the dates of
// autoupdt.cfg are written by hand.
std::string stampOfNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &local);
    return stamp;
}

// A dictionary read for publishing, its bytes as they go to the server.
struct Publication {
    std::string bytes;
    PublishedEdition edition;
    bool stampOfPublishing = false;  // the dictionary had no update stamp of its own
};

Publication readPublication(const std::string& path, const std::string& publishingStamp, bool signedMark) {
    Publication p;
    std::error_code ignored;
    const auto size = fs::file_size(path, ignored);
    if (!ignored && size > updateDictionaryLimit)
        throw ToolError("cannot publish " + path + ": the program downloads dictionaries of at most " +
                        std::to_string(updateDictionaryLimit >> 20) + " MiB");
    if (!readWholeFile(path, p.bytes, updateDictionaryLimit)) throw unreadableDictionary(path);
    DictionaryHeader header;
    EntryList entries;
    if (!parseDictionary(p.bytes, header, entries)) throw unreadableDictionary(path);

    p.edition.file = fs::path(path).filename().string();
    if (!publishableFileName(p.edition.file))
        throw ToolError("cannot publish " + path + ": a published file name may hold only ASCII letters, digits "
                        "and ._-+~; rename the file");
    p.edition.id = numericId(header.idAndAccessCode);
    std::optional<PublicationTime> time = publicationTimeOfStamp(header.updateStamp);
    p.stampOfPublishing = !time;
    if (!time) time = publicationTimeOfStamp(publishingStamp);
    if (!time) throw ToolError("the clock gives no date to publish under");
    // The program takes an edition only when the file carries the stamp its
    // line announces, so that an earlier edition cannot be served again as
    // this one: the published file is given the stamp it is published under.
    if (p.stampOfPublishing) {
        header.updateStamp = publishingStamp;
        p.bytes = serializeDictionary(header, entries);
    }
    p.edition.date = time->date;
    p.edition.time = time->time;
    p.edition.version = header.version;
    p.edition.signedMark = signedMark;
    if (publishedEditionLine(p.edition).size() > maxUpdateTextLength)
        throw ToolError("cannot publish " + path + ": its line in " + updateConfigurationName +
                        " would be longer than " + std::to_string(maxUpdateTextLength) +
                        " characters; shorten its version");
    return p;
}

std::string idText(std::uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(id));
    return text;
}

// The autoupdt.cfg in the folder, empty when there is none, once no name
// publish writes there is a link or anything but a file: a write, or the
// merge of an old autoupdt.cfg, would otherwise reach a file outside it.
std::string checkedOldConfiguration(const PublicationFolder& site, const std::string& folder,
                                    const std::vector<Publication>& publications) {
    std::vector<std::string> written{updateConfigurationName};
    for (const Publication& p : publications) {
        written.push_back(p.edition.file);
        written.push_back(p.edition.file + signatureSuffix);
    }
    for (const std::string& name : written)
        if (site.kind(name) == PublicationFolder::Kind::other)
            throw ToolError("cannot publish into " + folder + ": " + name +
                            " there is a link or no regular file; nothing was written");
    if (site.kind(updateConfigurationName) == PublicationFolder::Kind::missing) return {};
    std::optional<std::string> old = site.read(updateConfigurationName, updateConfigurationLimit);
    if (!old)
        throw ToolError("cannot read " + joinPath(folder, updateConfigurationName) + ": larger than " +
                        std::to_string(updateConfigurationLimit) + " bytes, or unreadable");
    return std::move(*old);
}

}  // namespace

int TrelvoTool::keygen(const ToolArguments& a) {
    const std::string& out = a.file();
    const std::string pub = out + ".pub";
    const std::string comment = checkedComment(a.get("comment").value_or(fs::path(out).filename().string()));
    for (const std::string& path : {out, pub})
        if (exists(path)) throw ToolError(path + " exists; a key file is never overwritten");
    const SigningKey key = generateSigningKey();
    const std::string publicLine = trustedKeyLine(key.publicKey, comment);
    writePrivateKeyFile(out, signingKeyFileText(key, comment));
    if (!replaceFileAtomically(pub, publicLine + "\n")) {
        ::unlink(out.c_str());
        throw ToolError("cannot write " + pub);
    }
    out_ << publicLine << "\n";
    return 0;
}

int TrelvoTool::sign(const ToolArguments& a) {
    const std::string& file = a.file();
    const SigningKey key = readSigningKey(a.require("key"));
    const std::string signature = signEdition(readFile(file, dictionaryLimit, "file"), key);
    writeFile(file + signatureSuffix, signature);
    out_ << "signed: " << printable(file + signatureSuffix) << " by " << trustedKeyLine(key.publicKey, {}) << "\n";
    return 0;
}

int TrelvoTool::verify(const ToolArguments& a) {
    const std::string& file = a.file();
    const std::string keysPath =
        a.get("trusted-keys").value_or(ProgramFolder::ofRunningProgram().locate(trustedKeysName));
    int skipped = 0;
    const std::vector<TrustedKey> keys =
        parseTrustedKeys(readFile(keysPath, trustedKeysLimit, "trusted keys"), &skipped);
    if (skipped > 0) err_ << "trelvo-tool: " << keysPath << ": " << skipped << " unreadable lines skipped\n";
    if (keys.empty()) throw ToolError("no trusted key in " + keysPath);
    const std::string signature = readFile(file + signatureSuffix, signatureLimit, "signature");
    const std::optional<TrustedKey> signer = verifyEdition(readFile(file, dictionaryLimit, "file"), signature, keys);
    if (!signer) throw ToolError(file + " is not signed by any key of " + keysPath);
    out_ << "verified: " << printable(file) << " by " << printable(trustedKeyLine(signer->key, signer->comment))
         << "\n";
    return 0;
}

int TrelvoTool::publish(const ToolArguments& a) {
    if (a.positional.size() < 2) throw ToolError("expected FOLDER and at least one FILE");
    const std::string& folder = a.positional[0];
    std::optional<SigningKey> key;
    if (auto keyFile = a.get("key")) key = readSigningKey(*keyFile);

    // Everything is read and checked before the folder is touched.
    const std::string publishingStamp = stampOfNow();
    std::vector<Publication> publications;
    std::set<std::string> names;
    std::set<std::uint32_t> ids;
    for (std::size_t i = 1; i < a.positional.size(); ++i) {
        Publication p = readPublication(a.positional[i], publishingStamp, key.has_value());
        if (!names.insert(p.edition.file).second)
            throw ToolError("two dictionaries named " + p.edition.file + " would be one file on the server");
        if (!ids.insert(p.edition.id).second)
            throw ToolError("two dictionaries have the ID " + idText(p.edition.id) +
                            "; a server offers one edition of each");
        publications.push_back(std::move(p));
    }
    // The folder is not made: a mistyped path would publish where no server looks.
    PublicationFolder site(folder);
    if (!site.isOpen()) throw ToolError(site.error());
    const std::string oldConfiguration = checkedOldConfiguration(site, folder, publications);
    const std::string configurationPath = joinPath(folder, updateConfigurationName);
    std::vector<PublishedEdition> editions;
    for (const Publication& p : publications) editions.push_back(p.edition);
    const MergedConfiguration merged = mergeUpdateConfiguration(oldConfiguration, editions);
    if (merged.text.size() > updateConfigurationLimit)
        throw ToolError(configurationPath + " would be larger than the program reads");

    auto put = [&](const std::string& name, std::string_view bytes) {
        if (!site.replace(name, bytes)) throw ToolError("cannot write " + joinPath(folder, name));
    };
    // autoupdt.cfg last: until it names the new editions, the old ones are offered.
    std::size_t staleSignatures = 0;
    for (const Publication& p : publications) {
        put(p.edition.file, p.bytes);
        const std::string signatureName = p.edition.file + signatureSuffix;
        if (key) {
            put(signatureName, signEdition(p.bytes, *key));
        } else if (site.kind(signatureName) != PublicationFolder::Kind::missing) {
            // A signature of an earlier edition would have the check refuse this one.
            if (!site.remove(signatureName)) throw ToolError("cannot remove " + joinPath(folder, signatureName));
            ++staleSignatures;
        }
        out_ << "published: " << p.edition.file << ", ID " << idText(p.edition.id) << ", edition "
             << printable(CodePage::toUtf8(p.edition.version, CodePage::headerCodePage)) << " of "
             << p.edition.date << " " << p.edition.time << (p.stampOfPublishing ? " (time of publishing)" : "")
             << (key ? ", signed" : ", unsigned") << "\n";
    }
    put(updateConfigurationName, merged.text);
    out_ << "dictionaries: " << publications.size() << ", signed: " << (key ? publications.size() : 0)
         << "; lines of " << updateConfigurationName << " replaced: " << merged.replaced
         << ", added: " << merged.added << ", kept: " << merged.kept;
    if (staleSignatures > 0) out_ << "; old signatures removed: " << staleSignatures;
    out_ << "\n";
    return 0;
}

}  // namespace trelvo
