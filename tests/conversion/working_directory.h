#pragma once

// Each test runs in a fresh temporary working directory, removed afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

class WorkingDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A name no other test has, made without mkdtemp, which Windows lacks.
        std::random_device random;
        do
            directory_ = std::filesystem::temp_directory_path()
                    / ("tovik-" + std::to_string(random()));
        while (!std::filesystem::create_directory(directory_));
        std::filesystem::current_path(directory_);
    }

    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(directory_);
    }

    static void writeFile(const std::string &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string readFile(const std::string &path)
    {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }

    static bool exists(const std::string &path)
    {
        return std::filesystem::exists(std::filesystem::symlink_status(path));
    }

    const std::filesystem::path previous_ = std::filesystem::current_path();
    std::filesystem::path directory_;
};
