#include "TetherFileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const char* const kPlaceholders[] = {"{name}", "{date}", "{time}", "{counter}", "{ext}", "{serial}", "{label}"};

// strftime's letters for the parts of a date and time, as Qt writes them;
// %j and %% are made by hand.
struct DateLetter {
    char letter;
    const char* format;
};
const DateLetter kDateLetters[] = {{'Y', "yyyy"}, {'y', "yy"}, {'m', "MM"}, {'d', "dd"},
                                   {'H', "HH"},   {'M', "mm"}, {'S', "ss"}, {'j', nullptr}, {'%', nullptr}};

// A file name has at most 255 bytes, the counter, the collision suffix and
// the extension a pattern adds included.
const int kMaxNameLength = 100;

bool isPlaceholder(const QString& word)
{
    for (const char* known : kPlaceholders) {
        if (word == QLatin1String(known))
            return true;
    }
    return false;
}

const DateLetter* dateLetter(QChar letter)
{
    for (const DateLetter& known : kDateLetters) {
        if (letter == QLatin1Char(known.letter))
            return &known;
    }
    return nullptr;
}

// The first placeholder or letter of pattern that tether does not know; empty when there is none.
QString unknownPart(const QString& pattern)
{
    for (int at = 0; at < pattern.size(); ++at) {
        if (pattern.at(at) == '{') {
            const int end = pattern.indexOf('}', at);
            const QString word = end < 0 ? pattern.mid(at) : pattern.mid(at, end - at + 1);
            if (!isPlaceholder(word))
                return word;
            at = end;
        } else if (pattern.at(at) == '%') {
            if (at + 1 >= pattern.size() || !dateLetter(pattern.at(at + 1)))
                return pattern.mid(at, 2);
            ++at;
        }
    }
    return QString();
}

QString dateText(const DateLetter& letter, const QDateTime& time)
{
    if (letter.format)
        return time.toString(QLatin1String(letter.format));
    if (letter.letter == 'j')
        return QString::number(time.date().dayOfYear()).rightJustified(3, '0');
    return QStringLiteral("%");
}

QString expandDateLetters(const QString& pattern, const QDateTime& time)
{
    QString text;
    for (int at = 0; at < pattern.size(); ++at) {
        const DateLetter* letter = pattern.at(at) == '%' && at + 1 < pattern.size() ? dateLetter(pattern.at(at + 1))
                                                                                    : nullptr;
        if (!letter) {
            text += pattern.at(at);
            continue;
        }
        text += dateText(*letter, time);
        ++at;
    }
    return text;
}

} // namespace

QString TetherFileNames::knownParts()
{
    QStringList parts;
    for (const char* known : kPlaceholders)
        parts << QLatin1String(known);
    QStringList letters;
    for (const DateLetter& letter : kDateLetters)
        letters << QStringLiteral("%") + QLatin1Char(letter.letter);
    return parts.join(", ") + QStringLiteral(", and the date letters ") + letters.join(' ');
}

bool TetherFileNames::setPattern(const QString& pattern, QString* reason)
{
    const QString unknown = unknownPart(pattern);
    const QStringList parts = pattern.split('/');
    if (!unknown.isEmpty())
        *reason = QStringLiteral("--filename: there is no %1; a pattern is made of %2").arg(unknown, knownParts());
    else if (pattern.startsWith('/'))
        *reason = QStringLiteral("--filename takes a path inside --out, not %1").arg(pattern);
    else if (parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral(".")) || parts.contains(QString()))
        *reason = QStringLiteral("--filename takes folders by name, without '.', '..' or an empty one: %1")
                      .arg(pattern);
    else
        reason->clear();
    if (!reason->isEmpty())
        return false;
    m_pattern = pattern;
    if (!parts.last().contains(QLatin1String("{ext}")) && !parts.last().contains('.'))
        m_pattern += QStringLiteral(".{ext}");
    return true;
}

// Only a name a file system takes as it is: no folders, no "." or ".."
// (nor any hidden name), no control characters, not too long. Anything else
// is not trusted at all, not even in part.
QString TetherFileNames::plainName(const QString& cameraName)
{
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\\\x00-\\x1F\\x7F]"));
    const bool plain = !cameraName.isEmpty() && cameraName.size() <= kMaxNameLength && !cameraName.startsWith('.')
                       && cameraName.trimmed() == cameraName && !cameraName.contains(unsafe);
    return plain ? cameraName : QString();
}

QString TetherFileNames::safeName(int counter)
{
    return QStringLiteral("picture-") + QString::number(counter).rightJustified(4, '0');
}

QString TetherFileNames::unknownSerial()
{
    return QStringLiteral("no-serial");
}

// The camera's texts come in after the date letters, so that a % they
// hold stays as it is.
QString TetherFileNames::expand(const File& file) const
{
    const QString counter = QString::number(file.counter).rightJustified(4, '0');
    const QString name = plainName(file.cameraName);
    const QString serial = plainName(file.serialNumber);
    QString path = expandDateLetters(m_pattern, file.time);
    return path.replace(QLatin1String("{serial}"), serial.isEmpty() ? unknownSerial() : serial)
        .replace(QLatin1String("{label}"), plainName(file.label))
        .replace(QLatin1String("{name}"), name.isEmpty() ? safeName(file.counter) : name)
        .replace(QLatin1String("{date}"), file.time.toString(QStringLiteral("yyyy-MM-dd")))
        .replace(QLatin1String("{time}"), file.time.toString(QStringLiteral("HHmmss")))
        .replace(QLatin1String("{counter}"), counter)
        .replace(QLatin1String("{ext}"), file.extension);
}

QString TetherFileNames::pathOf(const QString& folder, const File& file, int collision) const
{
    QString relative = expand(file);
    if (collision > 0) {
        const int slash = relative.lastIndexOf('/');
        const int dot = relative.lastIndexOf('.');
        relative.insert(dot > slash + 1 ? dot : relative.size(), QStringLiteral("-%1").arg(collision));
    }
    const QString path = QDir(folder).filePath(relative);
    return isInside(folder, path) ? path : QString();
}

bool TetherFileNames::isInside(const QString& folder, const QString& path)
{
    QString root = QDir::cleanPath(QDir(folder).absolutePath());
    if (!root.endsWith('/'))
        root += '/';
    const QString cleaned = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return cleaned.startsWith(root) && cleaned.size() > root.size();
}
