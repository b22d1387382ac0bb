#pragma once

// Each test runs in a fresh temporary working directory, removed afterwards,
// with helpers to arrange files in it and to see what it holds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

class WorkingDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string name = "tovik-" + std::to_string(std::random_device()());
        directory_ = std::filesystem::temp_directory_path() / name;
        ASSERT_TRUE(std::filesystem::create_directory(directory_)) << directory_;
        std::filesystem::current_path(directory_);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::filesystem::permissions(directory_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(directory_);
    }

    static void writeFile(const std::filesystem::path &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string readFile(const std::filesystem::path &path)
    {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }

    // Every name in the working directory and what it is: a file's bytes (its
    // size past 1 MiB), "link to <target>", "folder" or "other" (a FIFO).
    static std::map<std::string, std::string> folder()
    {
        namespace fs = std::filesystem;
        std::map<std::string, std::string> entries;
        std::error_code gone;
        for (const fs::directory_entry &entry : fs::directory_iterator(".", gone)) {
            const std::string name = entry.path().filename().string();
            const fs::file_status status = entry.symlink_status();
            if (fs::is_symlink(status))
                entries[name] = "link to " + fs::read_symlink(entry.path()).string();
            else if (fs::is_regular_file(status) && fs::file_size(entry.path()) > (1 << 20))
                entries[name] = std::to_string(fs::file_size(entry.path())) + " bytes";
            else if (fs::is_regular_file(status))
                entries[name] = readFile(entry.path());
            else
                entries[name] = fs::is_directory(status) ? "folder" : "other";
        }
        return entries;
    }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    std::filesystem::path directory_;
};
