#ifndef TETHERMESSAGES_H
#define TETHERMESSAGES_H

#include <QString>
#include <QStringList>

// The wording of tether's refusals that name what was wrong and what would
// be right: the closest of the names a word may have meant, and lists of
// values cut to about a dozen. The Python package words its refusals alike.
class TetherMessages
{
public:
    // The candidate closest to word (case does not count), if it is close
    // enough to be a slip: empty otherwise.
    static QString closest(const QString& word, const QStringList& candidates);
    // "; did you mean Aperture?" for the closest candidate, else empty.
    static QString didYouMean(const QString& word, const QStringList& candidates);
    // The values of property name, all of them up to a dozen, else the
    // first and last six and where to see them all.
    static QString valueList(const QString& name, const QStringList& values);
    // How many edits turn one text into the other, case aside.
    static int distance(const QString& a, const QString& b);
};

#endif
