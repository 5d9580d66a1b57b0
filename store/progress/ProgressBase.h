// The progress file as this process last read or wrote it: what tells a
// save whether another program (a sync program bringing another PC's save)
// has replaced the file since, and what the merge measures both sides
// against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "store/files/FileNames.h"
#include "store/files/FileStamp.h"
#include "store/progress/ProgressMerge.h"

// A 64-bit hash of a stream of bytes fed in pieces of any size. It only
// tells within this process whether a progress file holds the texts it
// held (a 100,000-word file holds megabytes of them), so it is built for
// speed: eight independent lanes of 8 bytes each, which the processor works
// on at the same time, mixed together at the end.
class ContentHash {
public:
    void add(const void* bytes, std::size_t size) noexcept;
    std::uint64_t value() const noexcept;

private:
    static constexpr std::size_t kLanes = 8;
    static constexpr std::size_t kBlock = kLanes * 8;
    void block(const unsigned char* at) noexcept;
    std::uint64_t lanes_[kLanes] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                                    0x85EBCA77C2B2AE63ull, 0x27D4EB2F165667C5ull, 0xFF51AFD7ED558CCDull,
                                    0xC4CEB9FE1A85EC53ull, 0x94D049BB133111EBull};
    unsigned char pending_[kBlock] = {};  // bytes not yet mixed in
    std::size_t pendingBytes_ = 0;
    std::uint64_t total_ = 0;
};

struct ProgressBase {
    // False until a load or save has seen the whole file (a file that could
    // not be read completely is kept aside instead, never merged).
    bool known = false;
    FileStamp stamp;
    std::uint64_t hash = 0;
    std::uint64_t bytes = 0;
    // The header and the words of both lists, built once per read or save
    // (their order and the other texts are not needed to tell what
    // changed).
    ProgressWords words;
};
