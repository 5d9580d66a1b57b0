// One word list of the store (learning or remembered) together with what
// makes its operations cheap. Internal to the word store: WordGet holds two of
// them and takes its lock around every use.
//
// A word costs what its text needs, not a full 1664-byte WordEntry: a node
// keeps the three fields' units one after the other and a WordEntry is only
// materialised when one is copied out. Lists that a load builds take their
// nodes from a few large blocks, so building and freeing a big list is a
// handful of allocations instead of one per word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "store/lists/WordEntry.h"

#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

// Starts fetching the cache line at `address`: bulk loads call it some words
// ahead of using an index slot, so that the cache misses of a large index
// overlap instead of stalling one after the other.
inline void prefetchLine([[maybe_unused]] const void* address) noexcept
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#endif
}

// The three texts of an entry, each already within its field's size and free
// of zero units, as a normalised WordEntry holds them.
struct WordFields {
    std::u16string_view word;
    std::u16string_view phonetic;
    std::u16string_view content;
};

// The texts of `entry` as the store keeps them: each field ends at its first
// zero unit, and a field without one is cut like an over-long text (never
// inside a surrogate pair).
WordFields fieldsOf(const WordEntry& entry) noexcept;

class WordLane {
public:
    struct Node {
        Node* prev;
        Node* next;
        std::int32_t key;  // numericKey(word), fixed at insertion
        std::uint16_t wordUnits;
        std::uint16_t phoneticUnits;
        std::uint16_t contentUnits;
        bool ownAllocation;  // allocated alone, not inside one of the blocks
        bool inText;         // its texts lie in a dictionary text the lane keeps

        // Most nodes carry their units after them in the same allocation:
        // word, phonetic, content, without terminators. A node that addInText
        // made carries only a pointer to its word in the text, where the
        // transcription follows one unit (the bar) after the word and the
        // content one unit after the transcription; its phonetic is stored
        // without the square brackets, which copyTo adds.
        const char16_t* text() const noexcept
        {
            if (!inText) return reinterpret_cast<const char16_t*>(this + 1);
            const char16_t* word;
            std::memcpy(&word, this + 1, sizeof word);
            return word;
        }
        char16_t* units() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
        std::u16string_view word() const noexcept { return {text(), wordUnits}; }
        // As stored: for a node in a text, the transcription alone.
        std::u16string_view phonetic() const noexcept
        {
            if (phoneticUnits == 0) return {};
            return {text() + wordUnits + (inText ? 1 : 0), phoneticUnits};
        }
        std::u16string_view content() const noexcept
        {
            if (contentUnits == 0) return {};
            return {text() + wordUnits + phoneticUnits + (inText ? 2 : 0), contentUnits};
        }
        // The full 1664-byte record: texts, terminators, zero fill.
        void copyTo(WordEntry& entry) const noexcept;
    };

    // How a new node is allocated. `single` nodes are allocated one by one
    // and freed when erased; `bulk` ones come from the lane's blocks, whose
    // memory is only returned with the whole lane. Loads, which build a lane
    // of their own and swap it in, use `bulk`; the edits of a running
    // session use `single`, so a long session never piles up dead space.
    enum class Allocation { single, bulk };

    WordLane() = default;
    ~WordLane();
    WordLane(const WordLane&) = delete;
    WordLane& operator=(const WordLane&) = delete;

    Node* front() const noexcept { return head_; }
    Node* back() const noexcept { return tail_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // Lookups compare with ASCII-only case folding; nullptr when absent.
    Node* find(std::u16string_view word) const noexcept;
    bool holds(std::u16string_view word) const noexcept { return find(word) != nullptr; }
    // The same with the word's hashOf() already at hand.
    Node* find(std::u16string_view word, std::size_t hash) const noexcept;

    // The hash that the index files `word` under (ASCII letters folded).
    static std::size_t hashOf(std::u16string_view word) noexcept;
    // Starts fetching the index slot of `hash` (prefetchLine).
    void prefetch(std::size_t hash) const noexcept;

    // Room in the index for `words` words without rehashing. May throw
    // bad_alloc; the lane is unchanged then.
    void reserve(std::size_t words);
    // Adds the word behind every node of a key not greater than its own;
    // false when the word is already here. May throw bad_alloc, and then
    // changes nothing.
    bool add(const WordFields& fields, Allocation allocation) { return add(fields, allocation, hashOf(fields.word)); }
    // The same with the word's hashOf() already at hand.
    bool add(const WordFields& fields, Allocation allocation, std::size_t hash)
    {
        return insert(fields, allocation, hash, false, false);
    }
    // Adds the word before the head, whatever its key (the words added
    // later still go by their keys). False when the word is already here.
    // May throw bad_alloc, and then changes nothing.
    bool addFront(const WordFields& fields, Allocation allocation)
    {
        return insert(fields, allocation, hashOf(fields.word), false, true);
    }
    // Whether the pieces of a dictionary line lie in its text as addInText
    // needs them: the transcription one unit after the word, the content one
    // unit after the transcription (empty pieces may lie anywhere). A word
    // or transcription cut to fit its field does not.
    static bool laidOutInText(const WordFields& pieces) noexcept;
    // Like add with bulk allocation, for pieces laid out in a text that the
    // lane keeps (keepText): the node points into the text instead of
    // copying it. `pieces.phonetic` is the transcription without brackets.
    bool addInText(const WordFields& pieces, std::size_t hash)
    {
        return insert(pieces, Allocation::bulk, hash, true, false);
    }
    // Keeps a text that nodes of this lane point into for as long as the
    // lane lives (a swap takes it along). May throw bad_alloc.
    void keepText(std::shared_ptr<const void> text) { texts_.push_back(std::move(text)); }
    void erase(Node* node) noexcept;
    // Removes every word that `other` holds.
    void dropWordsOf(const WordLane& other) noexcept;
    void swap(WordLane& other) noexcept;

private:
    // Open addressing with linear probing. The hash is kept beside the node
    // so that probing and rehashing never have to visit the nodes, which lie
    // far apart in memory; only a matching hash leads to a word comparison.
    struct Slot {
        Node* node;
        std::size_t hash;
    };
    struct BlockFree {
        void operator()(void* block) const noexcept;
    };
    using Block = std::unique_ptr<void, BlockFree>;

    bool insert(const WordFields& fields, Allocation allocation, std::size_t hash, bool inText, bool atFront);
    std::size_t slotOf(const Node* node) const noexcept;
    void rehash(std::size_t capacity);
    Node* allocate(std::size_t bytes, Allocation allocation);
    void release(Node* node) noexcept;

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    std::size_t size_ = 0;
    // The first node of every numeric key: ordered insertion in O(log keys)
    // instead of a walk from the head.
    std::map<std::int32_t, Node*> firstOfKey_;

    std::unique_ptr<Slot[]> slots_;
    std::size_t capacity_ = 0;  // a power of two, or 0
    std::size_t used_ = 0;

    std::vector<Block> blocks_;
    unsigned char* blockCursor_ = nullptr;
    std::size_t blockLeft_ = 0;
    std::size_t nextBlockBytes_ = 0;
    std::size_t singleNodes_ = 0;                     // how many nodes must be freed one by one
    std::vector<std::shared_ptr<const void>> texts_;  // what nodes in texts point into
};
