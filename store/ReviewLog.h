// One answer of the review log (mivora-review.txt): when it was given, what
// it was, on which word, and the local day it made the word due.
#pragma once

#include <cstdint>
#include <string>

struct ReviewAnswer {
    std::int64_t time;  // UTC seconds since 1970
    bool good;          // 已记住; false: 忘了
    std::u16string word;
    std::int32_t dueDay;  // local day number, days since 1970-01-01
};
