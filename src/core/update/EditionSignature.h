#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// A published dictionary "NAME.dsl" is signed into "NAME.dsl.sig" beside it:
// an Ed25519 signature of the whole file, one base64 line.
inline constexpr const char* signatureSuffix = ".sig";
// In the program folder: the public keys whose signatures are trusted, and the
// file whose presence makes every update need a signature.
inline constexpr const char* trustedKeysName = "trusted-keys";
inline constexpr const char* requireSignedName = "require-signed";
// In the program folder: the update locations that have given a verified
// signature, one a line; an unsigned edition from them is refused afterwards.
inline constexpr const char* signedLocationsName = "signed-locations";

using PublicKey = std::array<unsigned char, 32>;

// A publisher's private key: the 32-byte seed the key pair comes from.
struct SigningKey {
    std::array<unsigned char, 32> seed{};
    PublicKey publicKey{};
};

struct TrustedKey {
    PublicKey key{};
    std::string comment;  // the rest of its line, to name the key
};

// A new key pair from the system's random source.
SigningKey generateSigningKey();

// The private key file: comment lines, then "secret BASE64(seed)". Whoever
// has this file can publish editions every user takes, so it is written for
// its owner only.
std::string signingKeyFileText(const SigningKey& key, std::string_view comment);
// nullopt when the text holds no readable key.
std::optional<SigningKey> parseSigningKeyFile(std::string_view text);

// A line for trusted-keys: "BASE64 comment".
std::string trustedKeyLine(const PublicKey& key, std::string_view comment);
// The keys of a trusted-keys file: one a line, "BASE64 [comment]"; empty
// lines and lines starting with "#" are skipped, unreadable lines are
// counted in skippedLines when given. A key whose private half was ever
// published is never among them.
std::vector<TrustedKey> parseTrustedKeys(std::string_view text, int* skippedLines = nullptr);

// The signature file's text for the file's bytes.
std::string signEdition(std::string_view fileBytes, const SigningKey& key);
// The trusted key whose signature signatureText (a .sig file's text) is over
// fileBytes; nullopt when the signature is unreadable or no key verifies it.
std::optional<TrustedKey> verifyEdition(std::string_view fileBytes, std::string_view signatureText,
                                        const std::vector<TrustedKey>& keys);

}  // namespace trelvo
