#include "text_line_writer.h"

#include <algorithm>
#include <cstring>

namespace tovik {

namespace {

constexpr std::size_t kBlockSize = 1 << 16;

} // namespace

TextLineWriter::~TextLineWriter()
{
    if (!file_.isOpen() || failed_)
        return;
    try {
        flush();
    } catch (const FileError &) {
        // Already failing: the first error is the one reported.
    }
}

void TextLineWriter::create(const std::string &path, std::optional<FileId> reading)
{
    close();
    open(doing(FileOperation::Create, path, [&] {
        NativeFile file = NativeFile::openToWrite(path);
        if (file.id() == reading)
            throw FileError(FileOperation::Create, path, Refusal::BeingConverted);
        file.truncate();
        return file;
    }));
}

void TextLineWriter::open(NativeFile file)
{
    close();
    file_ = std::move(file);
    buffer_.resize(kBlockSize);
    used_ = 0;
    failed_ = false;
}

void TextLineWriter::writeThroughFlushes(std::string_view text)
{
    constexpr std::string_view kLineEnd = "\r\n";
    for (std::string_view part : {text, kLineEnd}) {
        while (!part.empty()) {
            if (used_ == buffer_.size())
                flush();
            const std::size_t take = std::min(part.size(), buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, part.data(), take);
            used_ += take;
            part.remove_prefix(take);
        }
    }
}

void TextLineWriter::flush()
{
    if (used_ == 0)
        return;
    try {
        doing(FileOperation::Write, file_.path(), [&] { file_.write(buffer_.data(), used_); });
    } catch (const FileError &) {
        failed_ = true;
        throw;
    }
    used_ = 0;
}

void TextLineWriter::close()
{
    if (!file_.isOpen())
        return;
    flush();
    doing(FileOperation::Write, file_.path(), [&] { file_.sync(); });
    doing(FileOperation::Close, file_.path(), [&] { file_.close(); });
}

} // namespace tovik
