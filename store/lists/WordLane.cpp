#include "store/lists/WordLane.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "store/text/Text.h"

namespace {

// Blocks start small, so that a short list costs little, and grow to a size
// at which a million-word list needs only about a hundred of them.
constexpr std::size_t kFirstBlockBytes = 1024;
constexpr std::size_t kLargestBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kSmallestIndex = 16;

std::size_t fieldLength(const char16_t* field, std::size_t units) noexcept
{
    const std::size_t n = boundedLength(field, units);
    return n < units ? n : cutLength(std::u16string_view(field, units), units - 1);
}

void putField(char16_t* field, std::size_t units, std::u16string_view text) noexcept
{
    if (!text.empty()) std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
    std::memset(field + text.size(), 0, (units - text.size()) * sizeof(char16_t));
}

}  // namespace

std::size_t WordLane::hashOf(std::u16string_view word) noexcept
{
    // Four units per step. Every unit is taken with bit 5 set, which makes
    // 'A' and 'a' the same (as ASCII folding must) and merely lets a few other
    // pairs share a hash; the index compares the words themselves anyway.
    // A final mix makes the low bits, which pick the slot, depend on every
    // unit.
    constexpr std::uint64_t bit5 = 0x0020002000200020u;
    constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;
    std::uint64_t h = 0xCBF29CE484222325u ^ word.size();
    const char16_t* p = word.data();
    std::size_t n = word.size();
    for (; n >= 4; p += 4, n -= 4) {
        std::uint64_t units;
        std::memcpy(&units, p, sizeof units);
        h = (h ^ (units | bit5)) * multiplier;
        h ^= h >> 32;
    }
    std::uint64_t rest = 0;
    for (std::size_t i = 0; i < n; ++i) rest |= static_cast<std::uint64_t>(p[i] | 0x20) << (16 * i);
    h = (h ^ rest) * multiplier;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDu;
    h ^= h >> 33;
    return static_cast<std::size_t>(h);
}

WordFields fieldsOf(const WordEntry& entry) noexcept
{
    return {std::u16string_view(entry.word, fieldLength(entry.word, kWordUnits)),
            std::u16string_view(entry.phonetic, fieldLength(entry.phonetic, kPhoneticUnits)),
            std::u16string_view(entry.content, fieldLength(entry.content, kContentUnits))};
}

void WordLane::Node::copyTo(WordEntry& entry) const noexcept
{
    putField(entry.word, kWordUnits, word());
    if (inText && phoneticUnits != 0) {
        // "[%s]", as the loader stores a transcription.
        entry.phonetic[0] = u'[';
        std::memcpy(entry.phonetic + 1, phonetic().data(), phoneticUnits * sizeof(char16_t));
        entry.phonetic[phoneticUnits + 1] = u']';
        std::memset(entry.phonetic + phoneticUnits + 2, 0, (kPhoneticUnits - phoneticUnits - 2) * sizeof(char16_t));
    } else {
        putField(entry.phonetic, kPhoneticUnits, phonetic());
    }
    putField(entry.content, kContentUnits, content());
}

bool WordLane::laidOutInText(const WordFields& pieces) noexcept
{
    const char16_t* const afterWord = pieces.word.data() + pieces.word.size();
    if (!pieces.phonetic.empty() && pieces.phonetic.data() != afterWord + 1) return false;
    return pieces.content.empty() || pieces.content.data() == afterWord + 1 + pieces.phonetic.size() + 1;
}

void WordLane::BlockFree::operator()(void* block) const noexcept
{
    ::operator delete(block);
}

WordLane::~WordLane()
{
    // Bulk nodes go with their blocks; only the ones allocated alone need a
    // walk, and a lane straight from a load has none.
    for (Node* node = head_; singleNodes_ != 0 && node != nullptr;) {
        Node* const next = node->next;
        if (node->ownAllocation) {
            --singleNodes_;
            ::operator delete(node);
        }
        node = next;
    }
}

WordLane::Node* WordLane::find(std::u16string_view word) const noexcept
{
    return capacity_ == 0 ? nullptr : find(word, hashOf(word));  // no hashing for an empty lane
}

WordLane::Node* WordLane::find(std::u16string_view word, std::size_t hash) const noexcept
{
    if (capacity_ == 0) return nullptr;
    const std::size_t mask = capacity_ - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.node == nullptr) return nullptr;
        if (slot.hash == hash && equalNoCase(slot.node->word(), word)) return slot.node;
    }
}

std::size_t WordLane::slotOf(const Node* node) const noexcept
{
    const std::size_t mask = capacity_ - 1;
    std::size_t i = hashOf(node->word()) & mask;
    while (slots_[i].node != node) i = (i + 1) & mask;
    return i;
}

void WordLane::reserve(std::size_t words)
{
    // At most half the slots in use keeps the probe runs short.
    if (words > std::numeric_limits<std::size_t>::max() / 4) throw std::bad_alloc();
    std::size_t capacity = kSmallestIndex;
    while (capacity < 2 * words) capacity *= 2;
    if (capacity > capacity_) rehash(capacity);
}

void WordLane::rehash(std::size_t capacity)
{
    auto slots = std::make_unique<Slot[]>(capacity);  // all empty
    const std::size_t mask = capacity - 1;
    for (std::size_t from = 0; from < capacity_; ++from) {
        const Slot& slot = slots_[from];
        if (slot.node == nullptr) continue;
        std::size_t i = slot.hash & mask;
        while (slots[i].node != nullptr) i = (i + 1) & mask;
        slots[i] = slot;
    }
    slots_ = std::move(slots);
    capacity_ = capacity;
}

WordLane::Node* WordLane::allocate(std::size_t bytes, Allocation allocation)
{
    if (allocation == Allocation::single) return static_cast<Node*>(::operator new(bytes));
    // Keep every node in a block aligned like the first.
    bytes = (bytes + alignof(Node) - 1) / alignof(Node) * alignof(Node);
    if (blockLeft_ < bytes) {
        const std::size_t size = std::max(bytes, nextBlockBytes_ == 0 ? kFirstBlockBytes : nextBlockBytes_);
        blocks_.reserve(blocks_.size() + 1);
        blocks_.emplace_back(::operator new(size));
        blockCursor_ = static_cast<unsigned char*>(blocks_.back().get());
        blockLeft_ = size;
        nextBlockBytes_ = std::min(size * 2, kLargestBlockBytes);
    }
    Node* const node = reinterpret_cast<Node*>(blockCursor_);
    blockCursor_ += bytes;
    blockLeft_ -= bytes;
    return node;
}

void WordLane::prefetch(std::size_t hash) const noexcept
{
    if (capacity_ == 0) return;
    prefetchLine(&slots_[hash & (capacity_ - 1)]);
}

bool WordLane::insert(const WordFields& fields, Allocation allocation, std::size_t hash, bool inText, bool atFront)
{
    // One probe both looks for the word and finds the free slot it would
    // take; only a rehash makes a second one necessary.
    std::size_t freeSlot = 0;
    if (capacity_ != 0) {
        const std::size_t mask = capacity_ - 1;
        for (freeSlot = hash & mask;; freeSlot = (freeSlot + 1) & mask) {
            const Slot& slot = slots_[freeSlot];
            if (slot.node == nullptr) break;
            if (slot.hash == hash && equalNoCase(slot.node->word(), fields.word)) return false;
        }
    }
    const bool grow = 2 * (used_ + 1) > capacity_;
    if (grow) rehash(capacity_ == 0 ? kSmallestIndex : 2 * capacity_);

    // Where the node goes: behind every node of a key not greater than its
    // own. Words usually arrive in key order (plain words all have key 0),
    // so the tail is tried before the key map.
    // Nearly every word starts with a letter, which gives key 0: white
    // space, signs and digits all lie at or below '9'.
    std::int32_t key = fields.word.empty() || fields.word[0] > u'9' ? 0 : numericKey(fields.word);
    Node* before = nullptr;
    auto greater = firstOfKey_.end();
    bool firstOfItsKey = tail_ == nullptr || key > tail_->key;
    if (atFront && head_ != nullptr) {
        // Put before the head under the head's key (or its own, if lower),
        // so that the list stays in key order for the words added later.
        key = std::min(key, head_->key);
        before = head_;
        greater = firstOfKey_.begin();
        firstOfItsKey = key != head_->key;
    } else if (tail_ != nullptr && key < tail_->key) {
        greater = firstOfKey_.upper_bound(key);
        before = greater->second;  // exists: the tail's key is greater
        firstOfItsKey = greater == firstOfKey_.begin() || std::prev(greater)->first != key;
    }

    const std::size_t units = fields.word.size() + fields.phonetic.size() + fields.content.size();
    const std::size_t bytes = sizeof(Node) + (inText ? sizeof(const char16_t*) : units * sizeof(char16_t));
    Node* const node = allocate(bytes, allocation);
    if (firstOfItsKey) {
        try {
            firstOfKey_.emplace_hint(greater, key, node);
        } catch (...) {
            if (allocation == Allocation::single) {
                ::operator delete(node);
            } else {
                // Hand the bytes back to the block they were just cut from.
                const std::size_t rounded = (bytes + alignof(Node) - 1) / alignof(Node) * alignof(Node);
                blockCursor_ -= rounded;
                blockLeft_ += rounded;
            }
            throw;
        }
    }

    // Nothing below can fail.
    new (node) Node{before == nullptr ? tail_ : before->prev,
                    before,
                    key,
                    static_cast<std::uint16_t>(fields.word.size()),
                    static_cast<std::uint16_t>(fields.phonetic.size()),
                    static_cast<std::uint16_t>(fields.content.size()),
                    allocation == Allocation::single,
                    inText};
    if (inText) {
        const char16_t* const word = fields.word.data();
        std::memcpy(node->units(), &word, sizeof word);
    } else {
        char16_t* out = node->units();
        for (const std::u16string_view text : {fields.word, fields.phonetic, fields.content}) {
            if (!text.empty()) std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
            out += text.size();
        }
    }
    (node->prev == nullptr ? head_ : node->prev->next) = node;
    (before == nullptr ? tail_ : before->prev) = node;
    if (atFront && !firstOfItsKey) firstOfKey_.begin()->second = node;
    ++size_;
    if (allocation == Allocation::single) ++singleNodes_;

    if (grow) {
        const std::size_t mask = capacity_ - 1;
        for (freeSlot = hash & mask; slots_[freeSlot].node != nullptr; freeSlot = (freeSlot + 1) & mask) {}
    }
    slots_[freeSlot] = Slot{node, hash};
    ++used_;
    return true;
}

void WordLane::erase(Node* node) noexcept
{
    const auto first = firstOfKey_.find(node->key);
    if (first != firstOfKey_.end() && first->second == node) {
        if (node->next != nullptr && node->next->key == node->key)
            first->second = node->next;
        else
            firstOfKey_.erase(first);
    }

    // Remove the slot without leaving a marker behind: later slots of the
    // same probe run move up into the gap when their home allows it.
    const std::size_t mask = capacity_ - 1;
    std::size_t gap = slotOf(node);
    for (std::size_t i = (gap + 1) & mask; slots_[i].node != nullptr; i = (i + 1) & mask) {
        const std::size_t home = slots_[i].hash & mask;
        if (((i - home) & mask) >= ((i - gap) & mask)) {
            slots_[gap] = slots_[i];
            gap = i;
        }
    }
    slots_[gap] = Slot{nullptr, 0};
    --used_;

    (node->prev == nullptr ? head_ : node->prev->next) = node->next;
    (node->next == nullptr ? tail_ : node->next->prev) = node->prev;
    --size_;
    if (node->ownAllocation) {
        --singleNodes_;
        ::operator delete(node);
    }
}

void WordLane::dropWordsOf(const WordLane& other) noexcept
{
    if (size_ <= other.size_) {
        for (Node* node = head_; node != nullptr;) {
            Node* const next = node->next;
            if (other.holds(node->word())) erase(node);
            node = next;
        }
    } else {
        for (const Node* theirs = other.head_; theirs != nullptr; theirs = theirs->next) {
            if (Node* const mine = find(theirs->word())) erase(mine);
        }
    }
}

void WordLane::swap(WordLane& other) noexcept
{
    std::swap(head_, other.head_);
    std::swap(tail_, other.tail_);
    std::swap(size_, other.size_);
    firstOfKey_.swap(other.firstOfKey_);
    slots_.swap(other.slots_);
    std::swap(capacity_, other.capacity_);
    std::swap(used_, other.used_);
    blocks_.swap(other.blocks_);
    std::swap(blockCursor_, other.blockCursor_);
    std::swap(blockLeft_, other.blockLeft_);
    std::swap(nextBlockBytes_, other.nextBlockBytes_);
    std::swap(singleNodes_, other.singleNodes_);
    texts_.swap(other.texts_);
}
