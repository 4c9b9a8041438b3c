#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "EditionSignature.h"

namespace trelvo {

// A .sig holds one base64 line; anything much longer is not one.
inline constexpr std::size_t signatureLimit = 4096;
inline constexpr std::size_t trustedKeysLimit = std::size_t{1} << 20;

// Whose signatures the update check trusts, whether it takes unsigned
// editions at all, and from which locations it has had signed ones. Read
// where the check starts and handed to the step that verifies the download,
// which may run on another thread.
struct SignaturePolicy {
    std::vector<TrustedKey> trustedKeys;
    bool requireSigned = false;
    std::vector<std::string> signedLocations;  // as FoundEdition::locationKey names them
    std::string signedLocationsPath;           // where a new one is remembered; empty: nowhere

    bool signedBefore(std::string_view locationKey) const;
};

// The keys of the trusted-keys file (none when it is missing, unreadable or
// larger than trustedKeysLimit), whether the require-signed file exists, and
// the locations of the signed-locations file, which new ones go to.
SignaturePolicy readSignaturePolicy(const std::string& trustedKeysPath, const std::string& requireSignedPath,
                                    const std::string& signedLocationsPath);
// Adds locationKey to the signed-locations file at path, unless it is there
// already; false when the file cannot be written.
bool rememberSignedLocation(const std::string& path, const std::string& locationKey);

enum class SignatureVerdict {
    notChecked,  // no edition was downloaded
    none,        // neither signed nor asked to be: taken as it is
    verified,    // signed with a trusted key
    refused,     // a signature was needed and none verified: nothing is taken
};

struct SignatureCheck {
    SignatureVerdict verdict = SignatureVerdict::notChecked;
    std::string signer;   // verified: the comment of the trusted key, else the key itself
    std::string refusal;  // refused: why, for an error box (UTF-8)
};

// The error text (UTF-8) for a downloaded edition that is not taken, why
// being one sentence.
std::string refusedDownloadMessage(const std::string& why);

// What the server gave for the edition's .sig.
struct FetchedSignature {
    std::optional<std::string> text;  // nullopt when there is none ("404 Not Found")
    // The request failed otherwise (too long, cut, timed out, another status):
    // a signature may exist and was kept away, so nothing counts as unsigned.
    std::optional<std::string> failure;
};

// Decides on a downloaded edition. A signature is needed when autoupdt.cfg
// marks the edition signed, when the server publishes one, when the location
// has given a verified one before (signedBefore), or when the policy
// requires it. Without any of these an edition is taken as servers without
// signatures have always given it.
SignatureCheck checkEditionSignature(std::string_view fileBytes, const FetchedSignature& signature, bool signedMark,
                                     bool signedBefore, const SignaturePolicy& policy);

}  // namespace trelvo
