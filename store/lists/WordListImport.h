// Turning a learner's own 生词本 into a word list: the exports of 有道词典
// (XML) and 欧路词典 (CSV, TXT, StudyList.xml), the text files Anki and Excel
// write (tab, comma, semicolon or bar separated), the program's own lists,
// and lists typed by hand ("abandon vt. 放弃", one a line).
//
// The import runs in three steps so that the learner sees what was found
// before anything is written, and so that a long file can be read on a
// worker thread:
//   1. analyseWordFile (or analyseWordList on bytes) reads the file, guesses
//      its encoding, separator, header row and what each column holds, and
//      takes the words as the guess says.
//   2. applyImportChoices takes them again with the separator, header and
//      column roles the learner changed in the preview.
//   3. writeImportedList writes the words as a list.
// Each step may run on a worker: it gets its inputs by value, reports its
// progress through ImportJob::progress and ends early, with the refusal
// `cancelled`, once ImportJob::cancel is set. An analysis holds the file's
// bytes once and the words packed (about the file's size again), so a long
// file needs less than four times its size in memory; pass analyses on by
// moving them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The lists that ship with the program, by the names the library page shows.
inline constexpr std::u16string_view kShippedLists[] = {
    u"中考英语词汇", u"高考英语词汇", u"英语四级词汇", u"英语六级词汇",
    u"考研英语词汇", u"雅思词汇",     u"托福词汇",     u"GRE词汇",
};

// A file bigger than this is no 生词本 (the largest shipped list is half a
// megabyte).
constexpr std::size_t kImportMaxBytes = 16u << 20;

// Rows an analysis keeps for the preview.
constexpr std::size_t kImportPreviewRows = 20;

struct ImportedWord {
    std::u16string word;
    std::u16string phonetic;  // without brackets or slashes
    std::u16string meaning;
};

enum class ImportRefusal {
    none,
    unreadable,  // the file cannot be opened or read
    empty,
    tooLarge,
    notText,  // a picture, a program, an archive ...
    noWords,  // text, but not one word in it
    notWritten,
    cancelled,  // ImportJob::cancel was set
};

// How the file's bytes were read.
enum class ImportEncoding {
    utf8,
    utf8Lines,  // UTF-8 but for a few lines that are not; those are skipped
    utf16le,    // with or without a byte-order mark
    utf16be,
    gb18030,         // Chinese "ANSI" text read on a system whose code page is another
    systemCodePage,  // Notepad's and Excel's "ANSI"
};

// The file's shape. Only `separated` has a separator and columns to change.
enum class ImportFormat {
    separated,  // CSV, tab text, Anki, Excel, the program's own lists, one word a line
    youdaoXml,  // 有道词典 <wordbook><item><word>…
    eudicXml,   // 欧路词典 StudyList.xml <CustomizeListItem word="…">
    eudicText,  // 欧路词典 TXT: N@word@definition
};

// What a column holds; a part of speech is put before the meaning.
enum class ColumnRole : std::uint8_t { ignore, word, phonetic, meaning, partOfSpeech };

// What the preview lets the learner change (ImportFormat::separated only).
struct ImportChoices {
    // One of tab, ',', ';', '|'; 0: no separator, each line is a word with
    // its meaning after it, split where the first part of speech or the
    // first text that is not English starts ("1. abandon v. 放弃").
    char16_t separator = 0;
    bool header = false;            // the first row names the columns and is no word
    std::vector<ColumnRole> roles;  // by column; columns past the end are ignored
};

// The words of an import, each once in the file's order, packed into one
// buffer: a long file must not cost a string allocation per field.
class ImportedWords {
public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    ImportedWord operator[](std::size_t i) const;

    // Adds a word unless it is there already (letters compared without
    // case), in which case the fields the first one lacks are taken from
    // this one. False when it was there.
    bool add(std::u16string_view word, std::u16string_view phonetic, std::u16string_view meaning);
    // Replaces the phonetic and meaning of word i.
    void replace(std::size_t i, std::u16string_view phonetic, std::u16string_view meaning);
    // Where `word` is (letters compared without case); size() when nowhere.
    std::size_t indexOf(std::u16string_view word) const;
    // Whether word i has no phonetic or no meaning.
    bool lacks(std::size_t i) const;
    void reserve(std::size_t words, std::size_t bytes);
    void clear();

private:
    std::size_t find(std::string_view utf8) const;
    std::uint32_t append(std::string_view utf8, std::u16string_view phonetic, std::u16string_view meaning);
    void grow();
    std::vector<char> pool_;              // per word: three 16-bit lengths, then the UTF-8 of the fields
    std::vector<std::uint32_t> entries_;  // where each word's record starts in pool_
    std::vector<std::uint32_t> slots_;    // open-addressed index: entry + 1, 0 free
};

// How to run a step: where the shipped lists lie (to fill a missing phonetic
// or meaning), how "ANSI" text is decoded, and the worker's progress and
// cancel flag.
using CodePageDecoder = std::function<std::u16string(std::string_view)>;
struct ImportJob {
    CodePageDecoder codePage;                    // the program passes systemCodePageText
    std::vector<std::filesystem::path> folders;  // searched for the lists of kShippedLists
    // Called now and then with the bytes read of the total, on the thread
    // that runs the step; may be empty.
    std::function<void(std::size_t done, std::size_t total)> progress;
    // Set from any thread to end the step soon; may be null.
    std::shared_ptr<const std::atomic<bool>> cancel;
};

struct ImportAnalysis {
    ImportRefusal refusal = ImportRefusal::none;
    ImportEncoding encoding = ImportEncoding::utf8;
    ImportFormat format = ImportFormat::separated;
    ImportChoices choices;                     // as guessed, or as last applied
    std::size_t columns = 0;                   // the file's usual column count under choices.separator
    std::vector<std::u16string> firstRow;      // the first row's fields, to label the columns
    std::vector<ImportedWord> firstWords;      // the first kImportPreviewRows words as they will be written
    ImportedWords words;                       // gaps already filled from the shipped lists
    std::vector<std::size_t> skippedLines;     // 1-based, in order
    bool html = true;                          // fields may hold HTML (Anki's #html:false says not)
    std::vector<std::size_t> anki;             // columns Anki's header lines name as no field of the note
    std::size_t ankiLines = 0;                 // Anki's header lines before the rows
    std::shared_ptr<const std::string> bytes;  // the file, for applyImportChoices
    std::size_t textStart = 0;                 // after the byte-order mark
};

// Step 1. Refusals: unreadable, tooLarge, empty, notText, noWords, cancelled.
ImportAnalysis analyseWordFile(const std::filesystem::path& file, const ImportJob& job);
ImportAnalysis analyseWordList(std::string bytes, const ImportJob& job);
// Step 2: the words taken again under `choices` (kept in the result), the
// old words let go first. Cancelled, the result keeps the file and can be
// applied again.
ImportAnalysis applyImportChoices(ImportAnalysis analysis, const ImportChoices& choices, const ImportJob& job);
// Step 3: writes `<name>.txt` into `folder` through a temporary file renamed
// into place (never over an existing file). notWritten, cancelled or none.
ImportRefusal writeImportedList(const ImportAnalysis& analysis, const std::filesystem::path& folder,
                                std::u16string_view name, const ImportJob& job);

// What an import came to, for the message.
struct ImportResult {
    ImportRefusal refusal = ImportRefusal::none;
    std::size_t wordCount = 0;
    std::vector<std::size_t> skippedLines;  // 1-based, in order
};
ImportResult importResultOf(const ImportAnalysis& analysis);

// Decodes text in the system's code page (Notepad's "ANSI").
std::u16string systemCodePageText(std::string_view bytes);

// Fills a missing phonetic or meaning from the lists in `folders` named in
// kShippedLists (the first list that has the word with that field).
void fillFromShippedLists(ImportedWords& words, const std::vector<std::filesystem::path>& folders);

// "导入 312 个词，跳过 3 行：第 14、15、90 行", or why nothing was imported.
std::u16string importMessage(const ImportResult& result);

// The name for a list made from `file` in `folder`: the file's name without
// its extension, made fit for a list name, with " (2)", " (3)" ... added while
// `taken` says a name is in use.
std::u16string importedListName(const std::filesystem::path& file, std::size_t maxUnits,
                                const std::function<bool(std::u16string_view)>& taken);

// The whole import in one call, for callers without a preview: analyses
// `file` with the guessed choices, fills gaps from the shipped lists in
// `folders` and writes `<name>.txt` into `folder`. On a refusal nothing is
// written.
ImportResult importWordList(const std::filesystem::path& file, const std::filesystem::path& folder,
                            std::u16string_view name, const std::vector<std::filesystem::path>& folders,
                            const CodePageDecoder& codePage);
