#include "core/update/EditionSignature.h"

#include <gtest/gtest.h>

namespace trelvo {
namespace {

const std::string edition = std::string("DSL\0\x01 n\xe1vestidlo\tsignal\n", 24);

TEST(EditionSignature, ASignedEditionVerifiesAgainstItsKeyOnlyAndNotOnceChanged)
{
    const SigningKey publisher = generateSigningKey();
    const SigningKey stranger = generateSigningKey();
    const std::string signature = signEdition(edition, publisher);
    const std::vector<TrustedKey> keys = {{stranger.publicKey, "other"}, {publisher.publicKey, "publisher"}};

    const auto verified = verifyEdition(edition, signature, keys);
    ASSERT_TRUE(verified);
    EXPECT_EQ(verified->comment, "publisher");

    EXPECT_FALSE(verifyEdition(edition, signature, {{stranger.publicKey, "other"}}));
    EXPECT_FALSE(verifyEdition(edition, signature, {}));
    for (std::size_t at = 0; at < edition.size(); ++at) {
        std::string changed = edition;
        changed[at] ^= 1;
        EXPECT_FALSE(verifyEdition(changed, signature, keys)) << "byte " << at;
    }
    EXPECT_FALSE(verifyEdition(edition + "x", signature, keys));
    EXPECT_FALSE(verifyEdition(edition.substr(1), signature, keys));
}

TEST(EditionSignature, UnreadableSignaturesAreRefusedNotTrusted)
{
    const SigningKey publisher = generateSigningKey();
    const std::vector<TrustedKey> keys = {{publisher.publicKey, ""}};
    std::string signature = signEdition(edition, publisher);
    EXPECT_TRUE(verifyEdition(edition, "  " + signature + "\r\n", keys));

    for (const std::string& bad : {std::string(), std::string("\n"), signature.substr(0, 40),
                                   signature.substr(0, signature.size() - 1) + "AAAA\n", std::string(64, '\0'),
                                   std::string("not base64 at all!\n"), signature + signature}) {
        EXPECT_FALSE(verifyEdition(edition, bad, keys)) << bad;
    }
}

TEST(EditionSignature, KeyFilesRoundTripAndSkipWhatTheyCannotRead)
{
    const SigningKey key = generateSigningKey();
    const auto read = parseSigningKeyFile(signingKeyFileText(key, "Demo publisher"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->seed, key.seed);
    EXPECT_EQ(read->publicKey, key.publicKey);
    EXPECT_FALSE(parseSigningKeyFile("# nothing\nsecret short\n"));
    EXPECT_FALSE(parseSigningKeyFile(trustedKeyLine(key.publicKey, "a public key is no secret")));

    const SigningKey second = generateSigningKey();
    int skipped = -1;
    const auto keys = parseTrustedKeys("# Trusted publishers\n\n" + trustedKeyLine(key.publicKey, "Demo publisher") +
                                           "\r\n  garbage line\n" + trustedKeyLine(second.publicKey, "") + "\n" +
                                           trustedKeyLine(key.publicKey, "").substr(0, 20) + "\n",
                                       &skipped);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].key, key.publicKey);
    EXPECT_EQ(keys[0].comment, "Demo publisher");
    EXPECT_EQ(keys[1].key, second.publicKey);
    EXPECT_EQ(keys[1].comment, "");
    EXPECT_EQ(skipped, 2);
}

}  // namespace
}  // namespace trelvo
