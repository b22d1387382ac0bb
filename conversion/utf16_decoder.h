#pragma once

// UTF-16 in, UTF-8 out, a block at a time: a character split between two
// blocks is carried over. What is not UTF-16 (a lone surrogate, an odd last
// byte) becomes U+FFFD, which is never a symbol either.

#include <cstddef>
#include <optional>
#include <vector>

namespace tovik {

class Utf16Decoder
{
public:
    explicit Utf16Decoder(bool bigEndian)
        : bigEndian_(bigEndian)
    {
    }

    // Decodes `size` bytes onto the end of `out`; the end of the input when
    // `size` is 0.
    void decode(const unsigned char *data, std::size_t size, std::vector<char> &out);

private:
    void unit(char32_t unit, std::vector<char> &out);
    static void append(char32_t c, std::vector<char> &out);

    bool bigEndian_;
    std::optional<unsigned char> pendingByte_;
    char32_t highSurrogate_ = 0;
};

} // namespace tovik
