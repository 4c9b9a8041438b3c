#include "EditionSignature.h"

#include <sodium.h>

#include <stdexcept>

#include "core/dictionary/TextWords.h"

namespace trelvo {

namespace {

// libsodium must be initialised once before use; it is safe from any thread.
void initialiseSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("the cryptographic library could not be initialised");
}

std::string toBase64(const unsigned char* bytes, std::size_t size)
{
    std::string text(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);  // the terminating NUL
    return text;
}

// Decodes exactly out.size() bytes; anything else in text is a failure.
template <std::size_t N>
bool fromBase64(std::string_view text, std::array<unsigned char, N>& out)
{
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return false;
    return length == N && end == text.data() + text.size();
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Calls take(line) for each line with its spaces trimmed, skipping empty and
// comment lines.
template <typename Take>
void forEachContentLine(std::string_view text, Take take)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() != '#')
            take(line);
    }
}

// The first word of a line and the rest, trimmed.
std::pair<std::string_view, std::string_view> splitFirstWord(std::string_view line)
{
    std::size_t end = 0;
    while (end < line.size() && !isBlank(line[end]))
        ++end;
    return {line.substr(0, end), trimmed(line.substr(end))};
}

SigningKey keyFromSeed(const std::array<unsigned char, 32>& seed)
{
    initialiseSodium();
    SigningKey key;
    key.seed = seed;
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(key.publicKey.data(), secret, seed.data());
    sodium_memzero(secret, sizeof secret);
    return key;
}

}  // namespace

SigningKey generateSigningKey()
{
    initialiseSodium();
    std::array<unsigned char, 32> seed;
    randombytes_buf(seed.data(), seed.size());
    return keyFromSeed(seed);
}

std::string signingKeyFileText(const SigningKey& key, std::string_view comment)
{
    std::string text = "# Trelvo signing key: keep it secret, it signs editions every user takes.\n";
    text += "# Public key: " + trustedKeyLine(key.publicKey, comment) + "\n";
    text += "secret " + toBase64(key.seed.data(), key.seed.size()) + "\n";
    return text;
}

std::optional<SigningKey> parseSigningKeyFile(std::string_view text)
{
    std::optional<SigningKey> key;
    forEachContentLine(text, [&](std::string_view line) {
        const auto [word, rest] = splitFirstWord(line);
        std::array<unsigned char, 32> seed;
        if (!key && word == "secret" && fromBase64(rest, seed))
            key = keyFromSeed(seed);
    });
    return key;
}

std::string trustedKeyLine(const PublicKey& key, std::string_view comment)
{
    std::string line = toBase64(key.data(), key.size());
    if (!comment.empty())
        line.append(" ").append(comment);
    return line;
}

std::vector<TrustedKey> parseTrustedKeys(std::string_view text, int* skippedLines)
{
    // The demo key of earlier sources had its private half committed beside
    // it, so anyone can sign with it: a copy of an old trusted-keys in a
    // user's folder must not keep trusting it.
    PublicKey published{};
    fromBase64("aYs1sprFlob8l4z36QTkmhL/XzK6HjQYtXBZC/Lye5w=", published);
    std::vector<TrustedKey> keys;
    int skipped = 0;
    forEachContentLine(text, [&](std::string_view line) {
        const auto [word, rest] = splitFirstWord(line);
        TrustedKey key;
        if (fromBase64(word, key.key)) {
            if (key.key == published)
                return;
            key.comment = rest;
            keys.push_back(std::move(key));
        } else {
            ++skipped;
        }
    });
    if (skippedLines)
        *skippedLines = skipped;
    return keys;
}

std::string signEdition(std::string_view fileBytes, const SigningKey& key)
{
    initialiseSodium();
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_seed_keypair(publicKey, secret, key.seed.data());
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(fileBytes.data()),
                         fileBytes.size(), secret);
    sodium_memzero(secret, sizeof secret);
    return toBase64(signature, sizeof signature) + "\n";
}

std::optional<TrustedKey> verifyEdition(std::string_view fileBytes, std::string_view signatureText,
                                        const std::vector<TrustedKey>& keys)
{
    initialiseSodium();
    std::array<unsigned char, crypto_sign_BYTES> signature;
    if (!fromBase64(trimmed(signatureText), signature))
        return std::nullopt;
    for (const TrustedKey& key : keys) {
        if (crypto_sign_verify_detached(signature.data(), reinterpret_cast<const unsigned char*>(fileBytes.data()),
                                        fileBytes.size(), key.key.data()) == 0)
            return key;
    }
    return std::nullopt;
}

}  // namespace trelvo
