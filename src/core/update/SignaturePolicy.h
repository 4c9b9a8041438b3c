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

// Whose signatures the update check trusts, and whether it takes unsigned
// editions at all. Read where the check starts and handed to the step that
// verifies the download, which may run on another thread.
struct SignaturePolicy {
    std::vector<TrustedKey> trustedKeys;
    bool requireSigned = false;
};

// The keys of the trusted-keys file (none when it is missing, unreadable or
// larger than trustedKeysLimit) and whether the require-signed file exists.
SignaturePolicy readSignaturePolicy(const std::string& trustedKeysPath, const std::string& requireSignedPath);

enum class SignatureVerdict {
    notChecked,  // no edition was downloaded
    none,        // neither signed nor asked to be: taken as it is
    verified,    // signed with a trusted key
    refused,     // a signature was needed and none verified: nothing is taken
};

struct SignatureCheck {
    SignatureVerdict verdict = SignatureVerdict::notChecked;
    std::string signer;   // verified: the comment of the trusted key
    std::string refusal;  // refused: why, for an error box (UTF-8)
};

// Decides on a downloaded edition. A signature is needed when autoupdt.cfg
// marks the edition signed, when the server publishes one (signature is the
// .sig's text, nullopt when there is none), or when the policy requires it.
// Without any of these an edition is taken as servers without signatures
// have always given it.
SignatureCheck checkEditionSignature(std::string_view fileBytes, const std::optional<std::string>& signature,
                                     bool signedMark, const SignaturePolicy& policy);

}  // namespace trelvo
