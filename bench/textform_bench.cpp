// Reading and writing the record-set text form of a large phone book, against glibc iconv
// turning the same bytes from code page 932 into UTF-8: the cheapest thing anyone can do
// with such a file, and so the yardstick. Two inputs: "varied" (random text of mixed
// lengths, line breaks inside values, see VariedPhoneBook.h) and "uniform" (names, readings
// and addresses from short lists). Prints MB/s, the ratios to the yardstick on the same input
// and the memory the loaded set takes against the file size.
//
// bench_textform_bench --write-varied=FILE writes the varied input to FILE and exits (the
// whole-process script, bench/whole_process.sh, reads it).

#include "bench/VariedPhoneBook.h"
#include "model/CodeMap.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <malloc.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace tessera;

constexpr int kRecords = 100000;

std::string Sjis(const char* utf8) {
    std::string out;
    if (!Utf8ToCp932(utf8, out))
        throw std::runtime_error("not code page 932");
    return out;
}

std::vector<std::string> SjisList(std::initializer_list<const char*> items) {
    std::vector<std::string> out;
    for (const char* i : items)
        out.push_back(Sjis(i));
    return out;
}

// A phone book of made-up people: names, readings, numbers, addresses, birthdays, remarks
// and card marks, varied by a fixed pseudo-random sequence so every run is the same.
std::unique_ptr<CRecordSet> MakePhoneBook() {
    const auto surnames = SjisList({"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村",
                                    "小林", "加藤", "吉田", "山田", "佐々木", "山口", "松本"});
    const auto surReadings = SjisList({"さとう", "すずき", "たかはし", "たなか", "いとう",
                                       "わたなべ", "やまもと", "なかむら", "こばやし", "かとう",
                                       "よしだ", "やまだ", "ささき", "やまぐち", "まつもと"});
    const auto given = SjisList({"太郎", "花子", "健一", "美咲", "大輔", "由紀", "誠", "さくら",
                                 "翔太", "陽子", "一郎", "恵美"});
    const auto givenReadings =
        SjisList({"たろう", "はなこ", "けんいち", "みさき", "だいすけ", "ゆき", "まこと", "さくら",
                  "しょうた", "ようこ", "いちろう", "えみ"});
    const auto places =
        SjisList({"東京都文京区本郷", "神奈川県横浜市中区山下町", "大阪府大阪市北区梅田",
                  "北海道札幌市中央区大通西", "愛知県名古屋市中区栄", "福岡県福岡市中央区天神",
                  "京都府京都市左京区吉田", "宮城県仙台市青葉区一番町"});
    const auto buildings = SjisList({"ひまわり荘", "グリーンハイツ", "第二松本ビル", "さくら館"});
    const auto remarks =
        SjisList({"大学の同期。", "旧姓 小林。", "猫を二匹飼っている。", "年賀状は毎年欠かさず。",
                  "携帯のメールアドレスあり。", "毎年夏に同窓会で会う。"});
    const auto marks = SjisList({"", "○", "×", "△"});
    const std::string chome = Sjis("丁目");

    auto set = std::make_unique<CRecordSet>();
    set->SetKind(kKindPhoneBook);
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    RecordList records;
    records.reserve(kRecords);
    char buf[64];
    for (int i = 0; i < kRecords; ++i) {
        auto r = set->NewRecord();
        const std::size_t s = next(static_cast<std::uint32_t>(surnames.size()));
        const std::size_t g = next(static_cast<std::uint32_t>(given.size()));
        r->ParseField(0, i % 17 == 0 ? "*" : " ", false);
        r->ParseField(1, surnames[s] + " " + given[g], false);
        r->ParseField(2, surReadings[s] + " " + givenReadings[g], false);
        std::snprintf(buf, sizeof buf, "0%u-%04u-%04u", 3 + next(90), next(10000), next(10000));
        r->ParseField(3, buf, false);
        std::snprintf(buf, sizeof buf, "%03u-%04u", next(1000), next(10000));
        r->ParseField(4, buf, false);
        std::string address = places[next(static_cast<std::uint32_t>(places.size()))];
        std::snprintf(buf, sizeof buf, "%u", 1 + next(9));
        address += buf + chome;
        std::snprintf(buf, sizeof buf, " %u-%u", 1 + next(30), 1 + next(20));
        address += buf;
        if (next(3) != 0) {
            std::snprintf(buf, sizeof buf, " %u", 101 + next(900));
            address += "\x1F" + buildings[next(static_cast<std::uint32_t>(buildings.size()))] + buf;
        }
        r->ParseField(5, address, false);
        if (next(4) != 0) {
            std::snprintf(buf, sizeof buf, "%04u%02u%02u      ", 1940 + next(60), 1 + next(12),
                          1 + next(28));
            r->ParseField(6, buf, false);
        }
        if (next(2) == 0)
            r->ParseField(7, "MEM1:" + remarks[next(6)] + "\x1F" + remarks[next(6)] + "\x1E\x0C",
                          false);
        for (int c = 8; c < 12; ++c)
            r->ParseField(c, marks[next(4)], false);
        records.push_back(std::move(r));
    }
    set->InsertRecords(-1, std::move(records));
    return set;
}

enum Input : int { kUniform = 0, kVaried = 1 };

const std::string& PhoneBookText(int input) {
    static const std::string uniform = [] {
        std::string out;
        MakePhoneBook()->WriteTextToString(out);
        return out;
    }();
    static const std::string varied = bench::VariedPhoneBookText(kRecords);
    return input == kVaried ? varied : uniform;
}

const char* InputName(int input) {
    return input == kVaried ? "varied" : "uniform";
}

const CCodeMap& Map() {
    static const CCodeMap map = [] {
        CCodeMap m;
        m.LoadTables();
        return m;
    }();
    return map;
}

void BM_IconvCp932ToUtf8(benchmark::State& state) {
    const std::string& text = PhoneBookText(static_cast<int>(state.range(0)));
    std::vector<char> out(text.size() * 3 + 16);
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv has no CP932");
        return;
    }
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char* o = out.data();
        std::size_t outLeft = out.size();
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            state.SkipWithError("iconv failed");
            break;
        }
        benchmark::DoNotOptimize(o);
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}

void BM_ReadPhoneBook(benchmark::State& state) {
    const std::string& text = PhoneBookText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto set = std::make_unique<CRecordSet>();
        if (!set->ReadText(text, &Map()) || set->RecordCount() != kRecords) {
            state.SkipWithError("read failed");
            break;
        }
        // Tearing the set down belongs to the previous document, not to this read; so does
        // glibc's merging of the freed blocks, which one large request brings about.
        state.PauseTiming();
        set.reset();
        std::free(std::malloc(1 << 20));
        state.ResumeTiming();
    }
    // What a loaded set holds on the heap, measured once outside the timing.
    // Blocks the heap maps on their own (the reader's record blocks) count too.
    const auto inUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const std::size_t before = inUse();
    auto kept = std::make_unique<CRecordSet>();
    kept->ReadText(text, &Map());
    const std::size_t memory = inUse() - before;
    kept.reset();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["memory_x_file"] =
        static_cast<double>(memory) / static_cast<double>(text.size());
}

void BM_WritePhoneBook(benchmark::State& state) {
    const std::string& text = PhoneBookText(static_cast<int>(state.range(0)));
    CRecordSet set;
    if (!set.ReadText(text, &Map())) {
        state.SkipWithError("read failed");
        return;
    }
    std::string out;
    out.reserve(text.size());
    for (auto _ : state) {
        if (!set.WriteTextToString(out) || out.size() != text.size()) {
            state.SkipWithError("write failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}

BENCHMARK(BM_IconvCp932ToUtf8)->Arg(kVaried)->Arg(kUniform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPhoneBook)->Arg(kVaried)->Arg(kUniform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePhoneBook)->Arg(kVaried)->Arg(kUniform)->Unit(benchmark::kMillisecond);

// The console output, then the throughput of each benchmark against iconv's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred)
                continue;
            // The argument is the input: "BM_ReadPhoneBook/1".
            const std::string args = run.run_name.args;
            const int input = args.empty() ? kUniform : std::atoi(args.c_str());
            // CPU time: the machine may be shared, and waiting for it is not this code's cost.
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            const double mbps = static_cast<double>(PhoneBookText(input).size()) / seconds / 1e6;
            // With --benchmark_repetitions the best run counts: on a shared machine the slow
            // ones measure the neighbours.
            const Key key{input, run.run_name.function_name};
            m_mbps[key] = std::max(m_mbps[key], mbps);
            const auto memory = run.counters.find("memory_x_file");
            if (memory != run.counters.end())
                m_memory[input] = memory->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (int input : {kVaried, kUniform}) {
            const auto base = m_mbps.find(Key{input, "BM_IconvCp932ToUtf8"});
            if (base == m_mbps.end())
                continue;
            std::printf("\n%s input, %.1f MB\n%-24s %10s %16s\n", InputName(input),
                        static_cast<double>(PhoneBookText(input).size()) / 1e6, "", "MB/s",
                        "x iconv");
            for (const auto& [key, mbps] : m_mbps)
                if (key.first == input)
                    std::printf("%-24s %10.1f %16.2f\n", key.second.c_str(), mbps,
                                mbps / base->second);
            if (m_memory.count(input) != 0)
                std::printf("%-24s %10s %16.2f\n", "loaded set memory", "x file", m_memory[input]);
        }
        std::printf("targets: read >= 1.00 x iconv, write >= 2.00 x iconv, memory <= 3 x file\n");
    }

private:
    using Key = std::pair<int, std::string>;
    std::map<Key, double> m_mbps;
    std::map<int, double> m_memory;
};

} // namespace

int main(int argc, char** argv) {
    constexpr std::string_view kWrite = "--write-varied=";
    if (argc == 2 && std::string_view(argv[1]).starts_with(kWrite)) {
        const std::string path(std::string_view(argv[1]).substr(kWrite.size()));
        const std::string& text = PhoneBookText(kVaried);
        FILE* f = std::fopen(path.c_str(), "wb");
        const bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (f == nullptr || std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        return 0;
    }
    // Keep freed memory in the process, as a long-running program's heap does, so each read
    // is not also timing the kernel handing the same pages back.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
