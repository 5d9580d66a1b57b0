// Replays the answer sequences of the reference file with the program's own
// schedule and compares every answer's stability, difficulty and interval.
// Days are counted in UTC, as the reference counts them.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "store/review/Fsrs.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fsrs_oracle_compare <expected file>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    long sequence = -1;
    FsrsCard card;
    int answers = 0;
    int mismatches = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long seq;
        double retention, stability, difficulty;
        long long seconds;
        int grade, interval;
        if (!(fields >> seq >> retention >> seconds >> grade >> stability >> difficulty >> interval)) {
            std::fprintf(stderr, "unreadable line: %s\n", line.c_str());
            return 2;
        }
        if (seq != sequence) {
            sequence = seq;
            card = FsrsCard{};
        }
        if (grade != 1 && grade != 3 && grade != 4) {
            std::fprintf(stderr, "unknown grade: %s\n", line.c_str());
            return 2;
        }
        const auto day = static_cast<std::int32_t>(seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400);
        card = fsrsAnswer(card, FsrsAnswer{day, static_cast<FsrsGrade>(grade)}, retention);
        ++answers;
        if (card.interval != interval || std::fabs(card.stability - stability) > 1e-4 ||
            std::fabs(card.difficulty - difficulty) > 1e-4) {
            if (++mismatches <= 20)
                std::fprintf(stderr, "sequence %ld answer at %lld: S %.8f D %.8f I %d, expected S %.8f D %.8f I %d\n",
                             seq, seconds, card.stability, card.difficulty, card.interval, stability, difficulty,
                             interval);
        }
    }
    std::printf("%d answers of %ld sequences compared, %d differ\n", answers, sequence + 1, mismatches);
    return answers >= 1000 && mismatches == 0 ? 0 : 1;
}
