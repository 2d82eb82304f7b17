#pragma once
// Which answers go wrong on purpose: every Nth answer the instrument would send is dropped, sent
// with a broken CRC or sent in two pieces; every answer may carry trailing garbage or a delay.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavro::sim {

struct FaultOptions {
    unsigned dropEvery = 0;    // 0: never
    unsigned corruptEvery = 0; // 0: never
    unsigned splitEvery = 0;   // 0: never
    unsigned splitGapMs = 0;
    unsigned trailing = 0;     // garbage bytes after every answer
    unsigned delayMs = 0;      // before every answer
};

struct AnswerPlan {
    bool drop = false;
    bool corrupt = false;
    std::vector<std::uint8_t> bytes; // what goes on the line, trailing garbage included
    std::size_t splitAt = 0;         // 0: one piece; else the first piece is bytes [0, splitAt)
    unsigned gapMs = 0;              // between the two pieces
    unsigned delayMs = 0;            // before the first piece
};

class FaultSchedule {
public:
    explicit FaultSchedule(const FaultOptions &options) : options_(options) {}

    // Plans the next answer; every call counts one answer, dropped ones included.
    AnswerPlan plan(std::vector<std::uint8_t> answer);
    std::size_t answers() const { return count_; }

private:
    static bool due(unsigned every, std::size_t n) { return every != 0 && n % every == 0; }

    FaultOptions options_;
    std::size_t count_ = 0;
};

} // namespace tavro::sim
