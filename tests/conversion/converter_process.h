#pragma once

// This test program started again as a second process that converts one
// file and reports how it went in its exit status: for tests that need two
// conversions at once, or one to kill midway.

#include <string>

class ConverterProcess
{
public:
    enum Status { Converted = 0, Failed = 1, InUse = 3, Killed = -1 };

    explicit ConverterProcess(const std::string &inputPath);
    ConverterProcess(const ConverterProcess &) = delete;
    ConverterProcess &operator=(const ConverterProcess &) = delete;
    ~ConverterProcess();

    void kill();
    Status wait();

    // What the second process runs, from main().
    static int convert(const char *inputPath);

private:
    long long process_ = -1;
};
