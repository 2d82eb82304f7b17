#include "fault_schedule.h"

namespace tavro::sim {

AnswerPlan FaultSchedule::plan(std::vector<std::uint8_t> answer)
{
    const std::size_t n = ++count_;
    AnswerPlan plan;
    plan.delayMs = options_.delayMs;
    if (due(options_.dropEvery, n)) {
        plan.drop = true;
        return plan;
    }
    if (due(options_.corruptEvery, n) && !answer.empty()) {
        plan.corrupt = true;
        answer.back() ^= 0x01; // the CRC's high byte goes last
    }
    if (due(options_.splitEvery, n) && answer.size() >= 2) {
        plan.splitAt = answer.size() / 2;
        plan.gapMs = options_.splitGapMs;
    }
    for (unsigned i = 0; i < options_.trailing; ++i)
        answer.push_back(i % 2 == 0 ? 0xA5 : 0x5A);
    plan.bytes = std::move(answer);
    return plan;
}

} // namespace tavro::sim
