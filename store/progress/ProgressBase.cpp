#include "store/progress/ProgressBase.h"

#include <algorithm>
#include <cstring>

#include "store/text/Text.h"

namespace {

constexpr std::uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;

std::uint64_t mixed(std::uint64_t state, std::uint64_t word) noexcept
{
    state = (state ^ word) * kMultiplier;
    return state ^ (state >> 29);
}

}  // namespace

void ContentHash::block(const unsigned char* at) noexcept
{
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        std::uint64_t word;
        std::memcpy(&word, at + lane * 8, 8);
        lanes_[lane] = mixed(lanes_[lane], word);
    }
}

void ContentHash::add(const void* bytes, std::size_t size) noexcept
{
    const auto* at = static_cast<const unsigned char*>(bytes);
    total_ += size;
    if (pendingBytes_ != 0) {
        const std::size_t taken = std::min(size, kBlock - pendingBytes_);
        std::memcpy(pending_ + pendingBytes_, at, taken);
        pendingBytes_ += taken;
        at += taken;
        size -= taken;
        if (pendingBytes_ < kBlock) return;
        block(pending_);
        pendingBytes_ = 0;
    }
    for (; size >= kBlock; size -= kBlock, at += kBlock) block(at);
    std::memcpy(pending_, at, size);
    pendingBytes_ = size;
}

std::uint64_t ContentHash::value() const noexcept
{
    ContentHash last = *this;
    // The tail zero-filled, then the length: "a" and "a\0" differ.
    std::memset(last.pending_ + last.pendingBytes_, 0, kBlock - last.pendingBytes_);
    last.block(last.pending_);
    std::uint64_t state = total_;
    for (const std::uint64_t lane : last.lanes_) state = mixed(state, lane);
    return mixed(state, total_);
}
