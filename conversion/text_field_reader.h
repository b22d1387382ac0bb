#pragma once

// Reads a text file as a sequence of fields. A field ends at a comma or a
// line end (CR, LF or CR LF, one delimiter each) or at the end of the file;
// spaces and tabs before a field are skipped and those at the end of an
// unquoted field are dropped. A field that starts with a double quote runs
// to the next double quote, delimiters included; whatever follows the
// closing quote up to the next delimiter is ignored, and a quote that is
// never closed runs to the end of the file.
//
// A byte-order mark at the very start of a file is skipped. After a UTF-16
// one (what Windows editors save as "Unicode"), the text is read as UTF-8,
// so it gives exactly the fields of the same text saved as UTF-8.
//
// The file is read in large blocks, and no input can make a field take
// unbounded time or memory: see readField().

#include "native_file.h"
#include "open_file_record.h"

#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovik {

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
    bool atEnd();
    // Returns the next field and moves past it and its delimiter; the empty
    // field at the end of the file. Throws FieldTooLong when the field, the
    // blanks before or after it, or the text after its closing quote, any
    // one of them, holds more than maxLength characters.
    std::string readField(std::size_t maxLength = std::string::npos);
    void close() noexcept;

private:
    class Utf16Decoder;

    std::optional<char> peek();
    bool fill();
    // Moves past characters while `keep` holds, appending them to `field`
    // when given, and throws FieldTooLong past `limit` of them. Returns
    // how many it moved past.
    template<typename Keep>
    std::size_t advanceWhile(Keep keep, std::string *field, std::size_t limit);
    std::string readUnquoted(std::size_t maxLength);
    void skipDelimiter();

    NativeFile file_;
    OpenFileRecord::Entry recorded_;
    std::unique_ptr<Utf16Decoder> utf16_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

} // namespace tovik
