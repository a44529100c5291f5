#include "site/sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include "site/hex_text.h"

namespace {

constexpr size_t kDigestBytes = 32;

}  // namespace

// CNG's own provider; a failure (which a working Windows does not have) gives no digest, and the
// row is not pushed as anything but itself: the empty text matches no identity.
std::string Sha256Hex(const std::string& bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        return std::string();
    unsigned char digest[kDigestBytes];
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool made = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    made = made &&
           BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                          static_cast<ULONG>(bytes.size()), 0) >= 0 &&
           BCryptFinishHash(hash, digest, sizeof digest, 0) >= 0;
    if (hash) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return made ? HexText(digest, sizeof digest) : std::string();
}
