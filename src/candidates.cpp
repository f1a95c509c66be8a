#include "candidates.hpp"

namespace quadrivo {

// Tells whether a ranks before b: fewest typos, whole words, most lines, first.
static bool ranks_before(const Candidate& a, const Candidate& b) {
    if (a.typos != b.typos) {
        return a.typos < b.typos;
    }
    if (a.whole_words != b.whole_words) {
        return a.whole_words;
    }
    return a.lines != b.lines ? a.lines > b.lines : a.first < b.first;
}

static bool same_spelling(const Spelling& a, const Spelling& b) {
    if (a.length != b.length) {
        return false;
    }
    for (int i = 0; i < a.length; ++i) {
        if (a.text[i] != b.text[i]) {
            return false;
        }
    }
    return true;
}

void Candidates::add(const Candidate& found) {
    for (int i = 0; i < count_; ++i) {
        Candidate& known = list_[i];
        if (same_spelling(known.spelling, found.spelling)) {
            known.whole_words = known.whole_words || found.whole_words;
            known.lines += known.last_line != found.last_line ? 1 : 0;
            known.last_line = found.last_line;
            return;
        }
    }
    if (count_ < CANDIDATES) {
        list_[count_++] = found;
    } else if (ranks_before(found, list_[worst()])) {
        list_[worst()] = found;
    }
}

const Candidate* Candidates::best() const {
    const Candidate* best = nullptr;
    for (int i = 0; i < count_; ++i) {
        best = best == nullptr || ranks_before(list_[i], *best) ? &list_[i] : best;
    }
    return best;
}

// Returns the index of the candidate that ranks last.
int Candidates::worst() const {
    int worst = 0;
    for (int i = 1; i < count_; ++i) {
        worst = ranks_before(list_[worst], list_[i]) ? i : worst;
    }
    return worst;
}

}  // namespace quadrivo
