// The word store: the learning list, the remembered list, the study cycle,
// the current entry and the study counters.
//
// Every public operation takes the store's lock, so the UI thread and a
// word-list load on a worker thread may call into it at the same time. Loads
// read and parse their file without the lock and only swap the finished list
// in under it, so the UI thread never waits for a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "WordEntry.h"

enum class WordList { learning, remembered };

class WordGet {
public:
    WordGet();
    // Saves the progress file when the lists changed since the last load or
    // save, then frees both lists.
    virtual ~WordGet();
    WordGet(const WordGet&) = delete;
    WordGet& operator=(const WordGet&) = delete;

    // The `dic` directory, where dictionaries and the progress file live.
    // Without one, loads and saves do nothing.
    void setDirectory(const std::filesystem::path& dicDirectory);
    // Number of words in the study cycle; recomputes the cycle end.
    void setCycleSize(std::int32_t cycleSize);

    // List primitives. Words compare with ASCII-only case folding.
    bool insert(const WordEntry& entry, WordList list);
    bool unlink(const char16_t* word, WordList list);
    bool contains(const char16_t* word) const;
    void recomputeCycleEnd();

    // Navigation through the study cycle. `word` and `out` may be the same
    // memory; `out` is left as it was when `word` is in no learning node.
    void next(const char16_t* word, WordEntry& out);
    void previous(const char16_t* word, WordEntry& out);
    // The same on the store's current entry (the one the word window shows).
    void advance();
    void stepBack();

    // Moves a word between the lists (see the .cpp for the exact rules).
    void setRemembered(const WordEntry& entry, bool toRemembered);
    bool deleteRemembered(const char16_t* word);

    // Replace the learning list with dictionary `name` (`dic/<name>.txt`).
    // Afterwards the current entry is the head of the learning list, if any.
    void loadDictionary(std::u16string_view name);
    // Fill both lists from the progress file; falls back to dictionary
    // `fallbackName` when nothing is left to learn.
    void loadProgress(std::u16string_view fallbackName);
    // Write the progress file atomically. False when nothing was written.
    bool saveProgress();

    // Consistent copies, taken under the lock.
    WordEntry currentEntry() const;
    void setCurrentEntry(const WordEntry& entry);
    ProgressHeader header() const;
    bool dirty() const;
    std::vector<WordEntry> entries(WordList list) const;
    // The word at the cycle end, empty when the learning list is empty.
    std::u16string cycleEndWord() const;

private:
    struct Node {
        WordEntry entry;
        std::int32_t key;  // numericKey(entry.word), fixed at insertion
    };
    using Nodes = std::list<Node>;
    // One list with what makes its operations cheap: the folded word -> node
    // index (lookups in O(1)) and the first node of every numeric key
    // (ordered insertion in O(log keys) instead of a walk from the head).
    struct Lane {
        Nodes nodes;
        std::map<std::int32_t, Nodes::iterator> firstOfKey;
        std::unordered_map<std::u16string, Nodes::iterator> index;

        Nodes::iterator find(const std::u16string& folded);
        bool holds(const std::u16string& folded) const { return index.count(folded) != 0; }
        // Adds a copy of `entry` behind every node of a key not greater than
        // its own; false when the word is already here. May throw bad_alloc.
        bool add(const WordEntry& entry);
        void erase(Nodes::iterator node);
        // Removes every word that `other` holds.
        void dropWordsOf(const Lane& other);
        void swap(Lane& other) noexcept;
    };

    Lane& lane(WordList list) { return list == WordList::learning ? learning_ : remembered_; }
    bool insertLocked(const WordEntry& entry, WordList list);
    bool unlinkLocked(const char16_t* word, WordList list);
    void recomputeCycleEndLocked();
    void nextLocked(const char16_t* word, WordEntry& out);
    void previousLocked(const char16_t* word, WordEntry& out);
    bool saveProgressLocked();
    // Every field zero-terminated inside its array and zero-filled behind
    // the terminator, whatever the entry came with.
    static void normalize(WordEntry& entry);

    mutable std::mutex lock_;
    Lane learning_;
    Lane remembered_;
    Nodes::iterator cycleEnd_;  // learning_.nodes.end() when there is none
    WordEntry current_{};
    ProgressHeader header_{};
    bool dirty_ = false;
    std::int32_t cycleSize_ = 15;
    std::filesystem::path directory_;
};

// The program's one word store.
extern WordGet wordStore;
