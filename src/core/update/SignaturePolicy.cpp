#include "SignaturePolicy.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

SignatureCheck refused(const std::string& why) { return {SignatureVerdict::refused, {}, refusedDownloadMessage(why)}; }

}  // namespace

std::string refusedDownloadMessage(const std::string& why) {
    return why + " Stažený soubor nebyl použit, slovník zůstal beze změny.";
}

bool SignaturePolicy::signedBefore(std::string_view locationKey) const {
    return std::find(signedLocations.begin(), signedLocations.end(), locationKey) != signedLocations.end();
}

SignaturePolicy readSignaturePolicy(const std::string& trustedKeysPath, const std::string& requireSignedPath,
                                    const std::string& signedLocationsPath) {
    SignaturePolicy policy;
    policy.signedLocationsPath = signedLocationsPath;
    std::string text;
    if (readWholeFile(trustedKeysPath, text, trustedKeysLimit)) policy.trustedKeys = parseTrustedKeys(text);
    std::error_code ignored;
    policy.requireSigned = std::filesystem::exists(requireSignedPath, ignored);
    // An unreadable file remembers nothing: the marks and signatures the
    // servers give still count, and require-signed closes the rest.
    if (readWholeFile(signedLocationsPath, text, trustedKeysLimit)) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line.front() != '#') policy.signedLocations.push_back(line);
    }
    return policy;
}

bool rememberSignedLocation(const std::string& path, const std::string& locationKey) {
    const SignaturePolicy known = readSignaturePolicy({}, {}, path);
    if (known.signedBefore(locationKey)) return true;
    std::string text = "# Update locations that have given signed editions; an unsigned edition from them is "
                       "refused.\n";
    for (const std::string& location : known.signedLocations) text += location + "\n";
    return replaceFileAtomically(path, text + locationKey + "\n");
}

SignatureCheck checkEditionSignature(std::string_view fileBytes, const FetchedSignature& signature, bool signedMark,
                                     bool signedBefore, const SignaturePolicy& policy) {
    if (signature.failure)
        return refused("Podpis vydání slovníku se z aktualizačního serveru nepodařilo stáhnout (" +
                       *signature.failure + ") a bez něj nelze vydání ověřit.");
    if (!signature.text) {
        if (signedMark)
            return refused("Vydání slovníku je na aktualizačním serveru označeno jako podepsané, ale podpis k němu "
                           "tam není.");
        if (signedBefore)
            return refused("Tento aktualizační server dříve vydával podepsaná vydání slovníku, ale k nalezenému "
                           "vydání podpis nemá.");
        if (policy.requireSigned)
            return refused("Program přijímá jen podepsaná vydání slovníku, ale k nalezenému vydání není na "
                           "aktualizačním serveru podpis.");
        return {SignatureVerdict::none, {}, {}};
    }
    if (policy.trustedKeys.empty())
        return refused("Stažené vydání slovníku je podepsané, ale program nemá žádný důvěryhodný klíč, kterým by "
                       "podpis ověřil (soubor trusted-keys v programové složce chybí nebo žádný klíč neobsahuje).");
    if (std::optional<TrustedKey> signer = verifyEdition(fileBytes, *signature.text, policy.trustedKeys))
        return {SignatureVerdict::verified,
                signer->comment.empty() ? trustedKeyLine(signer->key, {}) : signer->comment, {}};
    return refused("Podpis staženého vydání slovníku nesouhlasí s žádným důvěryhodným klíčem: soubor byl po "
                   "podepsání změněn, nebo ho podepsal někdo jiný.");
}

}  // namespace trelvo
