#pragma once

// Writes one value per line, as it stands, each followed by CR LF, through
// a large buffer.
//
// Creating a file never goes through a link and never opens anything but a
// regular file, and it locks the file until the writer closes (see
// NativeFile::openToWrite): a file that another conversion is writing, or
// that the caller is reading, is refused before anything of it is lost.

#include "native_file.h"

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovik {

class TextLineWriter
{
public:
    // An unclosed writer is one a failure left behind: it keeps what was
    // written so far and closes without a word.
    ~TextLineWriter();

    // Creates the file, or empties it if it exists; refused while still
    // whole when it is `reading`, a file the caller reads, whatever name
    // that is read by.
    void create(const std::string &path, std::optional<FileId> reading = std::nullopt);
    // Writes to a file opened for writing, from its start.
    void open(NativeFile file);
    void writeLine(std::string_view text)
    {
        // Inline, the common case: a short line straight into the buffer.
        if (text.size() + 2 <= buffer_.size() - used_) {
            char *out = buffer_.data() + used_;
            if (text.size() == 1)
                *out = text.front();
            else
                std::memcpy(out, text.data(), text.size());
            out[text.size()] = '\r';
            out[text.size() + 1] = '\n';
            used_ += text.size() + 2;
            return;
        }
        writeThroughFlushes(text);
    }
    // Hands everything written so far to the system, the file staying open.
    void flush();
    // Flushes, puts everything written on the disk, and closes. Closing a
    // writer that is not open does nothing.
    void close();

private:
    void writeThroughFlushes(std::string_view text);

    NativeFile file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

} // namespace tovik
