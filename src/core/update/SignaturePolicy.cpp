#include "SignaturePolicy.h"

#include <filesystem>

#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

SignatureCheck refused(const std::string& why) {
    return {SignatureVerdict::refused, {}, why + " Stažený soubor nebyl použit, slovník zůstal beze změny."};
}

}  // namespace

SignaturePolicy readSignaturePolicy(const std::string& trustedKeysPath, const std::string& requireSignedPath) {
    SignaturePolicy policy;
    std::string text;
    if (readWholeFile(trustedKeysPath, text, trustedKeysLimit)) policy.trustedKeys = parseTrustedKeys(text);
    std::error_code ignored;
    policy.requireSigned = std::filesystem::exists(requireSignedPath, ignored);
    return policy;
}

SignatureCheck checkEditionSignature(std::string_view fileBytes, const std::optional<std::string>& signature,
                                     bool signedMark, const SignaturePolicy& policy) {
    if (!signature) {
        if (signedMark)
            return refused("Vydání slovníku je na aktualizačním serveru označeno jako podepsané, ale podpis k němu "
                           "tam není.");
        if (policy.requireSigned)
            return refused("Program přijímá jen podepsaná vydání slovníku, ale k nalezenému vydání není na "
                           "aktualizačním serveru podpis.");
        return {SignatureVerdict::none, {}, {}};
    }
    if (policy.trustedKeys.empty())
        return refused("Stažené vydání slovníku je podepsané, ale program nemá žádný důvěryhodný klíč, kterým by "
                       "podpis ověřil (soubor trusted-keys v programové složce chybí nebo žádný klíč neobsahuje).");
    if (std::optional<TrustedKey> signer = verifyEdition(fileBytes, *signature, policy.trustedKeys))
        return {SignatureVerdict::verified, signer->comment, {}};
    return refused("Podpis staženého vydání slovníku nesouhlasí s žádným důvěryhodným klíčem: soubor byl po "
                   "podepsání změněn, nebo ho podepsal někdo jiný.");
}

}  // namespace trelvo
