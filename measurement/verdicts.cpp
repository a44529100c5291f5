#include "measurement/verdicts.h"

#include "measurement/record_words.h"

namespace {

int Severity(Verdict verdict) {
    switch (verdict) {
        case Verdict::Contaminated:
            return 3;
        case Verdict::Caution:
            return 2;
        case Verdict::Safe:
            return 1;
        case Verdict::None:
            break;
    }
    return 0;
}

}  // namespace

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Safe:
            return VERDICT_SAFE_UTF8;
        case Verdict::Caution:
            return VERDICT_CAUTION_UTF8;
        case Verdict::Contaminated:
            return VERDICT_DIRTY_UTF8;
        case Verdict::None:
            break;
    }
    return VERDICT_NONE;
}

Verdict WorseVerdict(Verdict a, Verdict b) { return Severity(a) >= Severity(b) ? a : b; }

int64_t& VerdictCounts::Of(Verdict verdict) {
    switch (verdict) {
        case Verdict::Safe:
            return safe;
        case Verdict::Caution:
            return caution;
        case Verdict::Contaminated:
            return contaminated;
        case Verdict::None:
            break;
    }
    return none;
}

int64_t VerdictCounts::Of(Verdict verdict) const {
    return const_cast<VerdictCounts*>(this)->Of(verdict);
}

Verdict VerdictCounts::Worst() const {
    if (contaminated) return Verdict::Contaminated;
    if (caution) return Verdict::Caution;
    if (safe) return Verdict::Safe;
    return Verdict::None;
}

VerdictCounts& VerdictCounts::operator+=(const VerdictCounts& other) {
    safe += other.safe;
    caution += other.caution;
    contaminated += other.contaminated;
    none += other.none;
    return *this;
}
