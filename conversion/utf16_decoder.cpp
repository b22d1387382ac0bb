#include "utf16_decoder.h"

namespace tovik {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

} // namespace

void Utf16Decoder::decode(const unsigned char *data, std::size_t size, std::vector<char> &out)
{
    if (size == 0) {
        if (pendingByte_ || highSurrogate_)
            append(kReplacement, out);
        pendingByte_.reset();
        highSurrogate_ = 0;
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (!pendingByte_) {
            pendingByte_ = data[i];
            continue;
        }
        const unsigned first = *pendingByte_, second = data[i];
        pendingByte_.reset();
        unit(bigEndian_ ? first << 8 | second : second << 8 | first, out);
    }
}

void Utf16Decoder::unit(char32_t unit, std::vector<char> &out)
{
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    const bool low = unit >= 0xDC00 && unit < 0xE000;
    if (highSurrogate_ && low) {
        append(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00), out);
        highSurrogate_ = 0;
        return;
    }
    if (highSurrogate_)
        append(kReplacement, out);
    highSurrogate_ = high ? unit : 0;
    if (!high)
        append(low ? kReplacement : unit, out);
}

void Utf16Decoder::append(char32_t c, std::vector<char> &out)
{
    const auto byte = [&](char32_t b) { out.push_back(static_cast<char>(b)); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | c >> 6);
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

} // namespace tovik
