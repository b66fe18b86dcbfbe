// Finding as the user types in a phone book of 100 000 records: each keystroke filters the
// window's table model again (CRecordTableModel::SetFilter), against the time it takes to read
// the file at all. The first keystroke also folds every record's display texts once; the
// ones after it search the folded texts. Prints the median of each.

#include "document/DocHost.h"
#include "document/RecordTableModel.h"
#include "model/CodeMap.h"
#include "model/RecordKind.h"
#include "model/RecordSet.h"
#include "text/Cp932Text.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
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

// Made-up people, varied by a fixed pseudo-random sequence so every run is the same.
const std::string& PhoneBookText() {
    static const std::string text = [] {
        const char* surnames[][2] = {
            {"佐藤", "さとう"},   {"鈴木", "すずき"},   {"高橋", "たかはし"}, {"田中", "たなか"},
            {"伊藤", "いとう"},   {"渡辺", "わたなべ"}, {"山本", "やまもと"}, {"中村", "なかむら"},
            {"小林", "こばやし"}, {"山田", "やまだ"},   {"山口", "やまぐち"}, {"松本", "まつもと"}};
        const char* given[][2] = {{"太郎", "たろう"}, {"花子", "はなこ"},   {"健一", "けんいち"},
                                  {"美咲", "みさき"}, {"大輔", "だいすけ"}, {"さくら", "さくら"}};
        const char* places[] = {"東京都文京区本郷", "神奈川県横浜市中区山下町",
                                "大阪府大阪市北区梅田", "北海道札幌市中央区大通西",
                                "愛知県名古屋市中区栄"};
        CRecordSet set;
        set.SetKind(kKindPhoneBook);
        std::uint32_t seed = 12345;
        auto next = [&seed](std::uint32_t n) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % n;
        };
        RecordList records;
        char buf[64];
        for (int i = 0; i < kRecords; ++i) {
            auto r = set.NewRecord();
            const auto s = next(12);
            const auto g = next(6);
            r->ParseField(0, " ", false);
            r->ParseField(1, Sjis(surnames[s][0]) + " " + Sjis(given[g][0]), false);
            r->ParseField(2, Sjis(surnames[s][1]) + " " + Sjis(given[g][1]), false);
            std::snprintf(buf, sizeof buf, "0%u-%04u-%04u", 3 + next(90), next(10000), next(10000));
            r->ParseField(3, buf, false);
            std::snprintf(buf, sizeof buf, " %u-%u", 1 + next(30), 1 + next(20));
            r->ParseField(5, Sjis(places[next(5)]) + buf, false);
            if (next(2) == 0)
                r->ParseField(7, "MEM1:" + Sjis("毎年夏に同窓会で会う。") + "\x1E\x0C", false);
            records.push_back(std::move(r));
        }
        set.InsertRecords(-1, std::move(records));
        std::string out;
        set.WriteTextToString(out);
        return out;
    }();
    return text;
}

const CCodeMap& Map() {
    static const CCodeMap map = [] {
        CCodeMap m;
        m.LoadTables();
        return m;
    }();
    return map;
}

class BenchHost : public CDocHost {
public:
    const CCodeMap* CodeMap() const override { return &Map(); }
    bool LimitFieldWidth() const override { return true; }
    int MaxFieldWidth() const override { return 64; }
    int FieldWidth(const std::string&) const override { return 100; }
    void SetFieldWidth(const std::string&, int) override {}
    bool IsBusy() const override { return false; }
    void AddToRecentFiles(const QString&) override {}
    QString GetSaveFileName(QWidget*, const QString&) override { return {}; }
    void RefreshStatus() override {}
};

std::unique_ptr<CRecordSet> ReadSet() {
    auto set = std::make_unique<CRecordSet>();
    if (!set->ReadText(PhoneBookText(), &Map()) || set->RecordCount() != kRecords)
        throw std::runtime_error("read failed");
    return set;
}

// What the user types, one keystroke at a time: the reading in half-width katakana, then a
// second word in full-width digits.
std::vector<std::string> Keystrokes() {
    std::vector<std::string> out;
    const std::string typed = Sjis("ﾔﾏﾀﾞ ０３");
    std::string prefix;
    for (std::size_t i = 0; i < typed.size();) {
        const std::size_t step = static_cast<unsigned char>(typed[i]) >= 0x81 &&
                                         static_cast<unsigned char>(typed[i]) <= 0x9F
                                     ? 2
                                     : 1;
        prefix += typed.substr(i, step);
        i += step;
        out.push_back(prefix);
    }
    return out;
}

void BM_ReadFile(benchmark::State& state) {
    PhoneBookText();
    for (auto _ : state) {
        auto set = ReadSet();
        benchmark::DoNotOptimize(set.get());
        state.PauseTiming();
        set.reset();
        state.ResumeTiming();
    }
}

void BM_FirstKeystroke(benchmark::State& state) {
    auto set = ReadSet();
    BenchHost host;
    for (auto _ : state) {
        CRecordTableModel model(host);
        model.Rebuild(set.get()); // the folded texts are made again
        model.SetFilter(Sjis("ﾔ"));
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void BM_EachKeystroke(benchmark::State& state) {
    auto set = ReadSet();
    BenchHost host;
    CRecordTableModel model(host);
    model.Rebuild(set.get());
    model.SetFilter(Sjis("ﾔ"));
    const std::vector<std::string> keys = Keystrokes();
    std::size_t k = 0;
    int shown = 0;
    for (auto _ : state) {
        model.SetFilter(keys[k]);
        shown = model.rowCount();
        k = (k + 1) % keys.size();
    }
    state.counters["rows_last"] = shown;
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FirstKeystroke)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EachKeystroke)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
