// Any trusted-keys, key or .sig file is read without a fault, and what is
// read from it means what it says: a key read back from its own line is the
// same key, a signing key read from a file signs what its public key
// verifies, and bytes that are no signature of the fixed key below are never
// taken for one.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/update/EditionSignature.h"

namespace {

// A key whose private half no input holds: nothing the fuzzer makes can be
// its signature.
const trelvo::SigningKey& fixedKey() {
    static const trelvo::SigningKey key = trelvo::generateSigningKey();
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    int skipped = 0;
    for (const trelvo::TrustedKey& key : trelvo::parseTrustedKeys(text, &skipped)) {
        const std::vector<trelvo::TrustedKey> again =
            trelvo::parseTrustedKeys(trelvo::trustedKeyLine(key.key, key.comment));
        if (again.size() != 1 || again[0].key != key.key) std::abort();
    }
    if (skipped < 0) std::abort();

    if (std::optional<trelvo::SigningKey> key = trelvo::parseSigningKeyFile(text)) {
        const std::string signature = trelvo::signEdition(text, *key);
        if (!trelvo::verifyEdition(text, signature, {trelvo::TrustedKey{key->publicKey, {}}})) std::abort();
    }

    if (trelvo::verifyEdition(text, text, {trelvo::TrustedKey{fixedKey().publicKey, {}}})) std::abort();
    return 0;
}
