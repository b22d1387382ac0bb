#include "text_field_reader.h"

#include "utf16_decoder.h"

#include <algorithm>
#include <cstring>

namespace tovik {

namespace {

constexpr std::size_t kBlockSize = 1 << 16;

} // namespace

TextFieldReader::TextFieldReader() = default;
TextFieldReader::~TextFieldReader() = default;

void TextFieldReader::open(const std::string &path)
{
    close();
    file_ = doing(FileOperation::Open, path, [&] { return NativeFile::openToRead(path); });
    buffer_.resize(kBlockSize);

    // A short first read cannot split the mark from a regular file.
    if (!fill())
        return;
    const auto startsWith = [&](std::string_view mark) {
        return end_ >= mark.size() && std::memcmp(buffer_.data(), mark.data(), mark.size()) == 0;
    };
    if (startsWith("\xEF\xBB\xBF")) {
        pos_ = 3;
    } else if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        utf16_ = std::make_unique<Utf16Decoder>(buffer_[0] == '\xFE');
        std::vector<char> decoded;
        utf16_->decode(reinterpret_cast<const unsigned char *>(buffer_.data()) + 2, end_ - 2,
                       decoded);
        buffer_ = std::move(decoded);
        pos_ = 0;
        end_ = buffer_.size();
        if (end_ == 0)
            fill();
    }
}

bool TextFieldReader::fill()
{
    pos_ = end_ = 0;
    if (!file_.isOpen())
        return false;
    if (!utf16_) {
        buffer_.resize(kBlockSize);
        end_ = read(buffer_.data(), buffer_.size());
        return end_ > 0;
    }
    // A block of UTF-16 may decode to nothing (one byte, or a lone high
    // surrogate), so read on until something comes out or the file ends.
    std::vector<unsigned char> raw(kBlockSize);
    buffer_.clear();
    while (buffer_.empty()) {
        const std::size_t count = read(reinterpret_cast<char *>(raw.data()), raw.size());
        utf16_->decode(raw.data(), count, buffer_);
        if (count == 0)
            break;
    }
    end_ = buffer_.size();
    return end_ > 0;
}

std::size_t TextFieldReader::read(char *data, std::size_t size)
{
    return doing(FileOperation::Read, file_.path(), [&] { return file_.read(data, size); });
}

std::optional<char> TextFieldReader::peek()
{
    if (pos_ == end_ && !fill())
        return std::nullopt;
    return buffer_[pos_];
}

template<typename Keep>
std::size_t TextFieldReader::advanceWhile(Keep keep, std::string *field, std::size_t limit)
{
    std::size_t count = 0;
    while (peek()) {
        const char *start = buffer_.data() + pos_;
        const char *stop
                = std::find_if_not(start, static_cast<const char *>(buffer_.data()) + end_, keep);
        const auto taken = static_cast<std::size_t>(stop - start);
        if (taken > limit - count)
            throw FieldTooLong();
        if (field)
            field->append(start, taken);
        count += taken;
        pos_ += taken;
        if (pos_ < end_)
            break;
    }
    return count;
}

std::string_view TextFieldReader::readFieldSlowly(std::size_t maxLength)
{
    advanceWhile(isBlank, nullptr, maxLength);

    field_.clear();
    if (peek() == '"') {
        ++pos_;
        advanceWhile([](char c) { return c != '"'; }, &field_, maxLength);
        if (peek())
            ++pos_; // the closing quote
        advanceWhile(isBlank, nullptr, maxLength);
        dropped_ += advanceWhile([](char c) { return !isDelimiter(c); }, nullptr, maxLength);
    } else {
        readUnquoted(maxLength);
    }
    skipDelimiter();
    return field_;
}

void TextFieldReader::readUnquoted(std::size_t maxLength)
{
    // Blanks inside the field belong to it, those at its end do not: each
    // run of them is held back until a character follows it. So both the
    // field and a run of blanks keep to maxLength on their own, and a field
    // of exactly maxLength characters may still be followed by blanks.
    std::size_t blanks = 0;
    for (;;) {
        const std::size_t room = field_.size() < maxLength ? maxLength - field_.size() : 0;
        if (advanceWhile([](char c) { return !isBlank(c) && !isDelimiter(c); }, &field_, room) == 0)
            break;
        blanks = advanceWhile(isBlank, &field_, maxLength);
    }
    field_.resize(field_.size() - blanks);
}

void TextFieldReader::skipDelimiter()
{
    const std::optional<char> c = peek();
    if (!c)
        return;
    ++pos_;
    if (c == '\r' && peek() == '\n')
        ++pos_;
}

void TextFieldReader::close() noexcept
{
    // Nothing was written, so a failing close loses nothing.
    try {
        file_.close();
    } catch (const SystemCallError &) {
    }
    utf16_.reset();
    pos_ = end_ = dropped_ = 0;
}

} // namespace tovik
