// Loading dictionaries and the progress file, and importing a 生词本, each
// beside a floor that does only the unavoidable file work on the same bytes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

#include "store/WordGet.h"
#include "store/lists/WordListImport.h"
#include "store/review/ReviewLog.h"

namespace fs = std::filesystem;

// The heap in use and its peak, counted at every allocation of the process,
// for the import's peak beside the size of its file.
namespace heap {
std::atomic<std::size_t> inUse{0}, peak{0};
void resetPeak()
{
    peak.store(inUse.load());
}
}  // namespace heap

void* operator new(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    const std::size_t now = heap::inUse.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = heap::peak.load();
    while (now > peak && !heap::peak.compare_exchange_weak(peak, now)) {}
    return p;
}
// The allocation above came from malloc, which GCC cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept
{
    if (p == nullptr) return;
    heap::inUse.fetch_sub(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

class Scratch {
public:
    Scratch()
    {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("mivora-bench-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~Scratch()
    {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

Scratch& scratch()
{
    static Scratch dir;
    return dir;
}

void appendNumber(std::u16string& text, long n)
{
    for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
}

// A dictionary of `lines` lines in the shipped format: UTF-16LE, CR LF,
// "word|phonetic|meaning" with Chinese meanings, all words distinct.
const fs::path& dictionaryFile(long lines)
{
    static std::map<long, fs::path> made;
    auto& path = made[lines];
    if (!path.empty()) return path;
    static const char16_t* const stems[] = {u"abandon", u"ability", u"abroad", u"absence", u"absolute", u"absorb"};
    static const char16_t* const phonetics[] = {u"ə'bændən", u"ə'biliti",  u"ə'brɔːd",
                                                u"'æbsəns",  u"'æbsəluːt", u"əb'sɔːb"};
    static const char16_t* const meanings[] = {u"vt.丢弃；放弃，抛弃",  u"n.能力；能耐，本领", u"ad.到国外，在国外",
                                               u"n.缺席，不在场；缺乏", u"a.绝对的，完全的",   u"vt.吸收；吸引"};
    std::u16string text;
    text.reserve(static_cast<std::size_t>(lines) * 40);
    for (long i = 0; i < lines; ++i) {
        const int k = static_cast<int>(i % 6);
        text += stems[k];
        appendNumber(text, i);
        text += u'|';
        text += phonetics[k];
        text += u'|';
        text += meanings[k];
        text += u"\r\n";
    }
    path = scratch().path() / ("dict" + std::to_string(lines) + ".txt");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 2, text.size(), file);  // little-endian host
    std::fclose(file);
    return path;
}

std::u16string dictionaryName(long lines)
{
    std::u16string name = u"dict";
    appendNumber(name, lines);
    return name;
}

void reportPerLine(benchmark::State& state, double nanoseconds, long lines)
{
    state.counters["ns_per_line"] = nanoseconds / (static_cast<double>(state.iterations()) * lines);
    state.SetItemsProcessed(state.iterations() * lines);
}

template <class F>
double timed(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

void BM_LoadDictionary(benchmark::State& state)
{
    const long lines = state.range(0);
    dictionaryFile(lines);
    WordGet store;
    store.setDirectory(scratch().path());
    double total = 0;
    for (auto _ : state) total += timed([&] { store.loadDictionary(dictionaryName(lines)); });
    if (store.header().learningCount != lines) state.SkipWithError("wrong line count");
    reportPerLine(state, total, lines);
    store.setDirectory({});  // no progress file at the end
}

// Reading the file and cutting it into lines, nothing more.
void BM_DictionaryFloor(benchmark::State& state)
{
    const long lines = state.range(0);
    const fs::path& path = dictionaryFile(lines);
    double total = 0;
    for (auto _ : state) {
        total += timed([&] {
            std::FILE* file = std::fopen(path.c_str(), "rb");
            std::u16string text(fs::file_size(path) / 2, u'\0');
            const std::size_t got = std::fread(text.data(), 2, text.size(), file);
            std::fclose(file);
            long count = 0;
            std::size_t pos = 0;
            while (pos < got) {
                const std::size_t end = text.find(u'\n', pos);
                const std::size_t stop = end == std::u16string::npos ? got : end + 1;
                std::u16string_view line(text.data() + pos, stop - pos);
                benchmark::DoNotOptimize(line);
                ++count;
                pos = stop;
            }
            if (count != lines) state.SkipWithError("wrong line count");
        });
    }
    reportPerLine(state, total, lines);
}

// A progress file of `records` records (a tenth remembered), made by the
// store itself.
const fs::path& progressDirectory(long records)
{
    static std::map<long, fs::path> made;
    auto& dir = made[records];
    if (!dir.empty()) return dir;
    dir = scratch().path() / ("progress" + std::to_string(records));
    fs::create_directories(dir);
    fs::copy_file(dictionaryFile(records), dir / "words.txt");
    WordGet store;
    store.setDirectory(dir);
    store.loadDictionary(u"words");
    const auto learning = store.entries(WordList::learning);
    for (std::size_t i = 0; i < learning.size(); i += 10) store.setRemembered(learning[i], true);
    store.saveProgress();
    fs::remove(dir / "words.txt");
    return dir;
}

void BM_LoadProgress(benchmark::State& state)
{
    const long records = state.range(0);
    const fs::path& dir = progressDirectory(records);
    WordGet store;
    store.setDirectory(dir);
    double total = 0;
    for (auto _ : state) total += timed([&] { store.loadProgress(u"words"); });
    if (store.entries(WordList::learning).size() + store.entries(WordList::remembered).size() !=
        static_cast<std::size_t>(records))
        state.SkipWithError("wrong record count");
    reportPerLine(state, total, records);
    store.setDirectory({});
}

// The floor of a load: the file read whole into memory, nothing else.
void readWholeFileFloor(benchmark::State& state, const fs::path& path, long lines)
{
    std::vector<char> bytes(fs::file_size(path));
    double total = 0;
    for (auto _ : state) {
        total += timed([&] {
            std::FILE* file = std::fopen(path.c_str(), "rb");
            benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), file));
            std::fclose(file);
        });
    }
    reportPerLine(state, total, lines);
}

void BM_LoadProgressFloor(benchmark::State& state)
{
    const long records = state.range(0);
    readWholeFileFloor(state, progressDirectory(records) / "DAvud.bin", records);
}

void BM_SaveProgress(benchmark::State& state)
{
    const long records = state.range(0);
    WordGet store;
    store.setDirectory(progressDirectory(records));
    store.loadProgress(u"words");
    double total = 0;
    for (auto _ : state)
        total += timed([&] {
            if (!store.saveProgress()) state.SkipWithError("save failed");
        });
    reportPerLine(state, total, records);
    store.setDirectory({});
}

// Another PC's save arriving in a synced folder: the look at the file on
// disk reads it and merges it into the lists (one word remembered there
// each time). The files are put in place outside the timing.
void BM_MergeOtherPcSave(benchmark::State& state)
{
    const long records = state.range(0);
    const fs::path dir = scratch().path() / ("merge" + std::to_string(records));
    fs::create_directories(dir);
    fs::copy_file(progressDirectory(records) / "DAvud.bin", dir / "DAvud.bin", fs::copy_options::overwrite_existing);
    WordGet store;
    store.setDirectory(dir);
    store.loadProgress(u"words");
    // Their saves, made by a store of their own.
    const fs::path theirs = dir / "theirs";
    fs::create_directories(theirs);
    fs::copy_file(dir / "DAvud.bin", theirs / "DAvud.bin", fs::copy_options::overwrite_existing);
    WordGet other;
    other.setDirectory(theirs);
    other.loadProgress(u"words");
    double total = 0;
    int arrivals = 0;
    for (auto _ : state) {
        state.PauseTiming();
        other.setRemembered(other.entries(WordList::learning).front(), true);
        other.saveProgress();
        fs::copy_file(theirs / "DAvud.bin", dir / "arriving", fs::copy_options::overwrite_existing);
        fs::last_write_time(dir / "arriving", fs::file_time_type::clock::now() + std::chrono::hours(++arrivals));
        fs::rename(dir / "arriving", dir / "DAvud.bin");
        state.ResumeTiming();
        total += timed([&] {
            if (store.checkProgressFile() != WordGet::DiskCheck::merged) state.SkipWithError("nothing merged");
        });
    }
    reportPerLine(state, total, records);
    store.setDirectory({});
    other.setDirectory({});
}

// The same bytes with plain fwrite; `synced` adds the flush to the disk that
// a safe save needs.
void saveFloor(benchmark::State& state, bool synced)
{
    const long records = state.range(0);
    const fs::path source = progressDirectory(records) / "DAvud.bin";
    const fs::path target = scratch().path() / "floor.bin";
    std::vector<char> bytes(fs::file_size(source));
    std::FILE* in = std::fopen(source.c_str(), "rb");
    std::fread(bytes.data(), 1, bytes.size(), in);
    std::fclose(in);
    double total = 0;
    for (auto _ : state) {
        total += timed([&] {
            std::FILE* file = std::fopen(target.c_str(), "wb");
            std::fwrite(bytes.data(), 1, 24, file);
            for (std::size_t at = 24; at < bytes.size(); at += sizeof(WordEntry))
                std::fwrite(bytes.data() + at, 1, sizeof(WordEntry), file);
            if (synced) {
                std::fflush(file);
                ::fsync(::fileno(file));
            }
            std::fclose(file);
        });
    }
    reportPerLine(state, total, records);
}

void BM_SaveProgressFloor(benchmark::State& state)
{
    saveFloor(state, false);
}
void BM_SaveProgressFloorSynced(benchmark::State& state)
{
    saveFloor(state, true);
}

// A review log of `answers` answers to a tenth as many words, a few a day
// over the years, as a user with that history has it.
const fs::path& reviewDirectory(long answers)
{
    static std::map<long, fs::path> made;
    fs::path& dir = made[answers];
    if (!dir.empty()) return dir;
    dir = scratch().path() / ("review" + std::to_string(answers));
    fs::create_directories(dir);
    std::string text = reviewLogHeader(19000) + "\n";
    std::mt19937 random(7);
    const long words = std::max(answers / 10, 1L);
    std::int64_t time = std::int64_t{19000} * 86400;
    for (long i = 0; i < answers; ++i) {
        time += 3600 + static_cast<std::int64_t>(random() % 36000);
        std::u16string word = u"abandon";
        appendNumber(word, static_cast<long>(random() % static_cast<unsigned long>(words)));
        text += reviewLine({time, random() % 5 != 0 ? ReviewGrade::good : ReviewGrade::again, word,
                            static_cast<std::int32_t>(time / 86400 + 3)}) +
                "\n";
    }
    std::FILE* file = std::fopen((dir / "mivora-review.txt").c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return dir;
}

std::int32_t utcDay(std::int64_t seconds)
{
    return static_cast<std::int32_t>(seconds / 86400);
}

// Read, parse and replay the whole history, as every start does.
void BM_ReplayReviewLog(benchmark::State& state)
{
    const long answers = state.range(0);
    ReviewLog log(utcDay);
    log.setDirectory(reviewDirectory(answers));
    double total = 0;
    for (auto _ : state) total += timed([&] { log.load(19000); });
    if (log.answers().size() != static_cast<std::size_t>(answers)) state.SkipWithError("wrong answer count");
    reportPerLine(state, total, answers);
}

void BM_ReviewLogFloor(benchmark::State& state)
{
    const long answers = state.range(0);
    readWholeFileFloor(state, reviewDirectory(answers) / "mivora-review.txt", answers);
}

// A 生词本 as Excel saves a long one: UTF-8 with a mark, a header, word,
// phonetic and a Chinese meaning that holds commas and semicolons in quotes,
// just under the largest file the import takes.
const fs::path& importFile()
{
    static fs::path path;
    if (!path.empty()) return path;
    static const char* const stems[] = {"abandon", "ability", "abroad", "absence", "absolute", "absorb"};
    static const char* const phonetics[] = {"ə'bændən", "ə'biliti", "ə'brɔːd", "'æbsəns", "'æbsəluːt", "əb'sɔːb"};
    static const char* const meanings[] = {"vt.丢弃；放弃，抛弃",     "\"n.能力; 能耐,本领\"", "ad.到国外，在国外",
                                           "\"n.缺席,不在场；缺乏\"", "a.绝对的，完全的",      "vt.吸收；吸引"};
    std::string text = "\xEF\xBB\xBF单词,音标,释义\r\n";
    for (long i = 0; text.size() < kImportMaxBytes - 100; ++i) {
        const int k = static_cast<int>(i % 6);
        text += std::string(stems[k]) + std::to_string(i) + "," + phonetics[k] + "," + meanings[k] + "\r\n";
    }
    path = scratch().path() / "import.csv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

long importLines()
{
    std::FILE* file = std::fopen(importFile().c_str(), "rb");
    long lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;) lines += c == '\n';
    std::fclose(file);
    return lines;
}

// MB a second and the heap's peak beside the file's size.
void reportImport(benchmark::State& state, double nanoseconds, std::size_t peak)
{
    const double bytes = static_cast<double>(fs::file_size(importFile()));
    const long lines = importLines();
    reportPerLine(state, nanoseconds, lines);
    state.counters["MB_per_s"] = bytes * static_cast<double>(state.iterations()) / nanoseconds * 1e3;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["peak_x_file"] = static_cast<double>(peak) / bytes;
}

// The whole import of a 16 MB file: analysed, gaps left (no shipped lists),
// written as a list.
void BM_ImportWordList(benchmark::State& state)
{
    const fs::path& path = importFile();
    const fs::path folder = scratch().path() / "imported";
    ImportJob job;
    job.codePage = systemCodePageText;
    double total = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        fs::remove_all(folder);
        const std::size_t before = heap::inUse.load();
        heap::resetPeak();
        total += timed([&] {
            const ImportAnalysis analysis = analyseWordFile(path, job);
            if (analysis.refusal != ImportRefusal::none ||
                writeImportedList(analysis, folder, u"list", job) != ImportRefusal::none)
                state.SkipWithError("import refused");
        });
        peak = std::max(peak, heap::peak.load() - before);
    }
    reportImport(state, total, peak);
}

// Reading the same file whole, nothing more.
void BM_ImportFloor(benchmark::State& state)
{
    const fs::path& path = importFile();
    double total = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = heap::inUse.load();
        heap::resetPeak();
        total += timed([&] {
            std::FILE* file = std::fopen(path.c_str(), "rb");
            std::string bytes(fs::file_size(path), '\0');
            if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) state.SkipWithError("short read");
            std::fclose(file);
            benchmark::DoNotOptimize(bytes.data());
        });
        peak = std::max(peak, heap::peak.load() - before);
    }
    reportImport(state, total, peak);
}

}  // namespace

BENCHMARK(BM_LoadDictionary)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DictionaryFloor)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadProgress)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadProgressFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveProgress)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeOtherPcSave)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveProgressFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveProgressFloorSynced)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_ReplayReviewLog)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReviewLogFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_ImportWordList)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportFloor)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
