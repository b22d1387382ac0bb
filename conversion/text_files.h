#pragma once

// Sequential text files: everything the conversion reads or writes goes
// through a TextFieldReader or a TextLineWriter, and working files are
// removed with deleteFile().

#include "text_field_reader.h"
#include "text_line_writer.h"

#include <string>

namespace tovik {

// Removes the file `path`; fails if it does not exist or cannot be removed.
void deleteFile(const std::string &path);

} // namespace tovik
