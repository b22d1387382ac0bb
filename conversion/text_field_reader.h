#pragma once

// Reads a text file as a sequence of fields. A field ends at a comma or a
// line end (CR, LF or CR LF, one delimiter each) or at the end of the file;
// spaces and tabs before a field are skipped and those at the end of an
// unquoted field are dropped. A field that starts with a double quote runs
// to the next double quote, delimiters included; whatever follows the
// closing quote up to the next delimiter is passed over (see dropped()),
// and a quote that is never closed runs to the end of the file.
//
// A byte-order mark at the very start of a file is skipped. After a UTF-16
// one (what Windows editors save as "Unicode"), the text is read as UTF-8,
// so it gives exactly the fields of the same text saved as UTF-8.
//
// The file is read in large blocks, and no input can make a field take
// unbounded time or memory: see readField().

#include "native_file.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovik {

class Utf16Decoder;

// A field, or the blanks or text passed over around it, ran past the
// length the caller allows.
class FieldTooLong : public std::exception
{
public:
    const char *what() const noexcept override { return "a field runs past its limit"; }
};

class TextFieldReader
{
public:
    TextFieldReader();
    ~TextFieldReader();

    // Fails if the file does not exist, cannot be read, or is not a regular
    // file: nothing else is ever opened, so that nothing can block.
    void open(const std::string &path);
    bool atEnd() { return pos_ == end_ && !fill(); }
    // The identity of the file open, whatever name it was opened by.
    FileId id() const noexcept { return file_.id(); }
    // Returns the next field, good until the next call, and moves past it
    // and its delimiter; the empty field at the end of the file. Throws
    // FieldTooLong when the field, the blanks before or after it, or the
    // text after its closing quote, any one of them, holds more than
    // maxLength characters.
    std::string_view readField(std::size_t maxLength = std::string::npos)
    {
        // Inline, the common cases, handed out where they lie in the
        // buffer: first a line of one character, which is every line of
        // "Convert.txt"; then any plain field whole in the buffer with its
        // delimiter, found in one scan.
        const char *start = buffer_.data() + pos_;
        const char *stop = buffer_.data() + end_;
        if (stop - start >= 3 && start[1] == '\r' && start[2] == '\n' && isPlain(*start)
            && maxLength >= 1) {
            pos_ += 3;
            return {start, 1};
        }
        if (start != stop && !isBlank(*start) && *start != '"') {
            const char *delimiter = start;
            while (delimiter != stop && !isDelimiter(*delimiter))
                ++delimiter;
            const auto length = static_cast<std::size_t>(delimiter - start);
            const bool crLast = delimiter != stop && *delimiter == '\r' && delimiter + 1 == stop;
            if (delimiter != stop && !crLast && length <= maxLength
                && (length == 0 || !isBlank(delimiter[-1]))) {
                pos_ += length + 1 + (*delimiter == '\r' && delimiter[1] == '\n');
                return {start, length};
            }
        }
        return readFieldSlowly(maxLength);
    }
    // How many characters, blanks aside, have been passed over after closing
    // quotes so far: a caller that may lose no text sees it grow.
    std::size_t dropped() const noexcept { return dropped_; }
    void close() noexcept;

private:
    static constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
    static constexpr bool isDelimiter(char c) { return c == ',' || c == '\r' || c == '\n'; }
    // A character that is a field of its own.
    static constexpr bool isPlain(char c) { return !isBlank(c) && !isDelimiter(c) && c != '"'; }

    std::string_view readFieldSlowly(std::size_t maxLength);
    std::size_t read(char *data, std::size_t size);
    std::optional<char> peek();
    bool fill();
    // Moves past characters while `keep` holds, appending them to `field`
    // when given, and throws FieldTooLong past `limit` of them. Returns
    // how many it moved past.
    template<typename Keep>
    std::size_t advanceWhile(Keep keep, std::string *field, std::size_t limit);
    void readUnquoted(std::size_t maxLength);
    void skipDelimiter();

    NativeFile file_;
    std::unique_ptr<Utf16Decoder> utf16_;
    std::vector<char> buffer_;
    std::string field_; // the last field, where it had to be put together
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::size_t dropped_ = 0;
};

} // namespace tovik
