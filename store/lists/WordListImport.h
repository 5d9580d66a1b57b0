// Turning a learner's own 生词本 into a word list: the exports of 有道词典
// (XML) and 欧路词典 (CSV, TXT), the text files Anki and Excel write (tab,
// comma or semicolon separated) and plain lists of words, one a line.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
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
};

struct ImportResult {
    ImportRefusal refusal = ImportRefusal::none;
    std::vector<ImportedWord> words;        // in the file's order, each word once
    std::vector<std::size_t> skippedLines;  // 1-based, in order
};

// Decodes text in the system's code page (Notepad's "ANSI"); the program
// passes systemCodePageText, tests one of their own.
using CodePageDecoder = std::function<std::u16string(std::string_view)>;
std::u16string systemCodePageText(std::string_view bytes);

// The words of a file's bytes. A byte-order mark says UTF-8 or UTF-16; a file
// without one is UTF-8 when it is valid UTF-8, else in the system code page.
ImportResult parseWordList(std::string_view bytes, const CodePageDecoder& codePage);

// Fills a missing phonetic or meaning from the lists in `folders` named in
// kShippedLists (the first list that has the word with that field).
void fillFromShippedLists(std::vector<ImportedWord>& words, const std::vector<std::filesystem::path>& folders);

// The list as the program's dictionaries are written: UTF-16LE without a
// mark, `word|phonetic|meaning` lines ending in CR LF.
std::string dictionaryBytes(const std::vector<ImportedWord>& words);

// "导入 312 个词，跳过 3 行：第 14、15、90 行", or why nothing was imported.
std::u16string importMessage(const ImportResult& result);

// The name for a list made from `file` in `folder`: the file's name without
// its extension, made fit for a list name, with " 2", " 3" ... added while
// `taken` says a name is in use.
std::u16string importedListName(const std::filesystem::path& file, std::size_t maxUnits,
                                const std::function<bool(std::u16string_view)>& taken);

// The whole import: reads `file`, parses it, fills gaps from the shipped lists
// in `folders`, and writes `<name>.txt` into `folder` through a temporary
// file renamed into place (never over an existing file). On a refusal
// nothing is written.
ImportResult importWordList(const std::filesystem::path& file, const std::filesystem::path& folder,
                            std::u16string_view name, const std::vector<std::filesystem::path>& folders,
                            const CodePageDecoder& codePage);
