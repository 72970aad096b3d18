#include "support/text_search.h"

#include <algorithm>

namespace {

template <typename Needles>
bool anyIn(QStringView text, const Needles& needles, Qt::CaseSensitivity sensitivity) {
    return std::any_of(needles.begin(), needles.end(),
                       [&](const auto& needle) { return text.contains(needle, sensitivity); });
}

}  // namespace

bool containsAny(QStringView text, std::initializer_list<QLatin1StringView> needles,
                 Qt::CaseSensitivity sensitivity) {
    return anyIn(text, needles, sensitivity);
}

bool containsAny(QStringView text, const QStringList& needles, Qt::CaseSensitivity sensitivity) {
    return anyIn(text, needles, sensitivity);
}
