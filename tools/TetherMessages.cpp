#include "TetherMessages.h"

#include <QVector>

#include <algorithm>

namespace {

const int kListedValues = 12;
// A word this long that begins a candidate is taken for its beginning.
const int kShortestBeginning = 3;

} // namespace

int TetherMessages::distance(const QString& a, const QString& b)
{
    const QString from = a.toLower();
    const QString to = b.toLower();
    QVector<int> row(to.size() + 1);
    for (int j = 0; j <= to.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= from.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= to.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (from.at(i - 1) == to.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[to.size()];
}

// A slip is at most half the word's letters (one for short words), or the
// first letters of a candidate's.
QString TetherMessages::closest(const QString& word, const QStringList& candidates)
{
    const int allowed = std::max(1, int(word.size()) / 2);
    QString best;
    int bestDistance = allowed + 1;
    for (const QString& candidate : candidates) {
        const bool begins = word.size() >= kShortestBeginning && candidate.startsWith(word, Qt::CaseInsensitive);
        const int edits = begins ? std::min(allowed, distance(word, candidate)) : distance(word, candidate);
        if (edits < bestDistance) {
            best = candidate;
            bestDistance = edits;
        }
    }
    return best;
}

QString TetherMessages::didYouMean(const QString& word, const QStringList& candidates)
{
    const QString best = closest(word, candidates);
    return best.isEmpty() ? QString() : QStringLiteral("; did you mean %1?").arg(best);
}

QString TetherMessages::valueList(const QString& name, const QStringList& values)
{
    if (values.size() <= kListedValues)
        return values.join(", ");
    const int half = kListedValues / 2;
    return QStringLiteral("%1, ..., %2 (%3 values; all of them: tether props %4)")
        .arg(values.mid(0, half).join(", "), values.mid(values.size() - half).join(", "))
        .arg(values.size())
        .arg(name);
}
