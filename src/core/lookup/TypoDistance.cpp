#include "TypoDistance.h"

#include <algorithm>
#include <vector>

namespace trelvo {

std::size_t typoDistance(std::string_view typed, std::string_view word, std::size_t limit) {
    const std::size_t m = typed.size();
    // Only beginnings of word up to m + limit letters long can be near enough.
    const std::size_t n = std::min(word.size(), m + limit);
    if (m > n + limit) return limit + 1;
    // Rows of the table over word's letters, for typed's letters i - 2, i - 1 and i.
    thread_local std::vector<std::size_t> rows;
    rows.assign(3 * (n + 1), 0);
    std::size_t* before = rows.data();
    std::size_t* previous = before + (n + 1);
    std::size_t* current = previous + (n + 1);
    for (std::size_t j = 0; j <= n; ++j) previous[j] = j;
    for (std::size_t i = 1; i <= m; ++i) {
        current[0] = i;
        std::size_t rowBest = current[0];
        for (std::size_t j = 1; j <= n; ++j) {
            const std::size_t change = typed[i - 1] == word[j - 1] ? 0 : 1;
            std::size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && typed[i - 1] == word[j - 2] && typed[i - 2] == word[j - 1])
                d = std::min(d, before[j - 2] + 1);
            current[j] = d;
            rowBest = std::min(rowBest, d);
        }
        if (rowBest > limit) return limit + 1;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    // previous is typed's last row: the best over every beginning of word.
    const std::size_t best = *std::min_element(previous, previous + n + 1);
    return std::min(best, limit + 1);
}

}  // namespace trelvo
