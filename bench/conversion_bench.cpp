// Times ConvertToChannels against a floor: one pass that reads the same input
// and writes the same two channel files directly, with no intermediate file,
// as durably: both files synced (TextLineWriter::close) and then their
// folder. The conversion also writes and reads back "Convert.txt", and
// replaces the channel files together through a commit record; the target
// is a ratio of at most 1.5 at 300000 symbols.

#include "channel_conversion.h"
#include "failure_message.h"
#include "native_file.h"
#include "text_field_reader.h"
#include "text_line_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

const char *const kInput = "bench-input.txt";

// A hundred items, one a line, cycling through all four symbols.
void writeInput(std::size_t symbols)
{
    const std::size_t itemLength = symbols / 100;
    std::ofstream out(kInput, std::ios::binary);
    for (std::size_t i = 0; i < symbols; ++i) {
        out.put(static_cast<char>('0' + i % 4));
        if (i % itemLength == itemLength - 1 || i + 1 == symbols)
            out << "\r\n";
    }
}

void floorConversion()
{
    tovik::TextFieldReader input;
    input.open(kInput);
    tovik::TextLineWriter channel1;
    channel1.create("CH1.txt");
    tovik::TextLineWriter channel2;
    channel2.create("CH2.txt");
    static constexpr const char *kBits[] = {"0", "1"};
    for (std::size_t i = 0; i < tovik::kMaxItems && !input.atEnd(); ++i) {
        const std::string_view item = input.readField(tovik::kMaxSymbols);
        if (item.empty())
            break;
        for (char c : item) {
            const int value = c - '0';
            channel1.writeLine(kBits[value >> 1]);
            channel2.writeLine(kBits[value & 1]);
        }
    }
    channel1.close();
    channel2.close();
    tovik::NativeFile::syncFolder("CH1.txt");
}

void BM_ConvertToChannels(benchmark::State &state)
{
    writeInput(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        if (auto failure = tovik::ConvertToChannels(kInput)) {
            state.SkipWithError(tovik::failureMessage(*failure, kInput).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Floor(benchmark::State &state)
{
    writeInput(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        floorConversion();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Each size five times over, reported by its median: a single run on a
// busy machine can be off by a third.
void sizes(benchmark::internal::Benchmark *family)
{
    for (int symbols : {1000, 10000, 100000, 300000})
        family->Arg(symbols);
    family->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_ConvertToChannels)->Apply(sizes);
BENCHMARK(BM_Floor)->Apply(sizes);

// Keeps each benchmark's median time per iteration, to print the ratio at
// the end.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name + '/' + run.run_name.args]
                        = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::string scratch = (std::filesystem::temp_directory_path() / "tovik-bench-XXXXXX").string();
    if (!::mkdtemp(scratch.data()))
        return 1;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch);

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::filesystem::current_path(previous);
    std::filesystem::remove_all(scratch);

    const auto conversion = reporter.medians.find("BM_ConvertToChannels/300000");
    const auto floor = reporter.medians.find("BM_Floor/300000");
    if (conversion != reporter.medians.end() && floor != reporter.medians.end())
        std::printf("\nconversion / floor at 300000 symbols: %.2f (target: at most 1.5)\n",
                    conversion->second / floor->second);
    benchmark::Shutdown();
    return 0;
}
