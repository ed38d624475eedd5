#include "platform/sha1.h"

#include <openssl/evp.h>

#include <array>

std::string sha1Hex(const std::uint8_t* data, std::size_t size) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    // An empty block may come with no storage at all; the digest needs a valid pointer.
    static const std::uint8_t none = 0;
    if (EVP_Digest(size != 0 ? data : &none, size, digest.data(), &length, EVP_sha1(), nullptr) !=
        1) {
        return {};
    }
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * std::size_t{length});
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0xF];
    }
    return text;
}
