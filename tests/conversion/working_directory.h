#pragma once

// A fresh temporary working directory for each test; the test runs inside it
// and it is removed afterwards, whatever the test left there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class WorkingDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::string pattern
                = (std::filesystem::temp_directory_path() / "tovik-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        std::filesystem::current_path(directory_);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    static void writeFile(const std::filesystem::path &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string readFile(const std::filesystem::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static bool exists(const std::filesystem::path &path)
    {
        return std::filesystem::exists(std::filesystem::symlink_status(path));
    }

    const std::filesystem::path &directory() const { return directory_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path directory_;
};
