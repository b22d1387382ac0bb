#pragma once

// Each test runs in a fresh temporary working directory, removed afterwards,
// with helpers to arrange files in it and to see what it holds; no fault
// hook a test sets outlives it.

#include "native_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <iterator>
#include <string>

inline std::string repeated(const std::string &text, int count)
{
    std::string out;
    while (count-- > 0)
        out += text;
    return out;
}

inline void writeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::filesystem::path &path)
{
    std::ifstream bytes(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(bytes), {}};
}

class WorkingDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A name no other test has, made without mkdtemp, which Windows lacks;
        // not ASCII, as the folders of a user named José are not.
        std::random_device random;
        do
            directory_ = std::filesystem::temp_directory_path()
                    / std::filesystem::u8path("tovik-jos\xC3\xA9-" + std::to_string(random()));
        while (!std::filesystem::create_directory(directory_));
        std::filesystem::current_path(directory_);
    }

    void TearDown() override
    {
        tovik::NativeFile::setFaultHook({});
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    // A path as UTF-8, on every system.
    static std::string utf8(const std::filesystem::path &path)
    {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    // Every name in the working directory and what it is: a file's bytes,
    // "folder", "link" or "other" (a FIFO).
    static std::map<std::string, std::string> folder()
    {
        namespace fs = std::filesystem;
        std::map<std::string, std::string> entries;
        std::error_code gone;
        for (const fs::directory_entry &entry : fs::directory_iterator(".", gone)) {
            const fs::file_status status = entry.symlink_status();
            std::string &what = entries[utf8(entry.path().filename())];
            if (fs::is_regular_file(status))
                what = readFile(entry.path());
            else
                what = fs::is_directory(status)  ? "folder"
                        : fs::is_symlink(status) ? "link"
                                                 : "other";
        }
        return entries;
    }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    std::filesystem::path directory_;
};
