#include "site/sha256.h"

#include <nettle/sha2.h>

#include "site/hex_text.h"

std::string Sha256Hex(const std::string& bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return HexText(digest, sizeof digest);
}
