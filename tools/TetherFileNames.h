#ifndef TETHERFILENAMES_H
#define TETHERFILENAMES_H

#include <QDateTime>
#include <QString>
#include <QStringList>

// Where a picture's file goes under --out: the --filename pattern made of
// placeholders ({name} the camera's file name, {date}, {time}, {counter},
// {ext}, {serial} the camera's serial number, {label} the one given with
// --label), strftime's date letters (%Y %m %d ...) and folders. With
// several cameras saving into one folder, {serial} or {label} keeps their
// names apart. Whatever the
// pattern and the camera's name, a path never leaves the folder: the
// camera's name is taken as a plain file name, and every path is checked.
class TetherFileNames
{
public:
    // What one file's name is made of.
    struct File {
        QString cameraName; // as the camera gave it; may be empty or hostile
        int counter = 0;    // the picture's running number in this run
        QDateTime time;     // when the picture arrived
        QString extension;  // "DNG", "JPG"
        QString serialNumber; // as the camera gives it; may be empty or hostile
        QString label;
    };

    // The pattern's parts are known, its folders stay inside: false, with
    // the reason, for an unknown placeholder or letter, an absolute path, a
    // folder "..", or a pattern that names no file. A pattern without an
    // extension gets the file's.
    bool setPattern(const QString& pattern, QString* reason);
    // The path of file under folder, "-collision" before its extension when
    // collision > 0; empty when it would leave folder.
    QString pathOf(const QString& folder, const File& file, int collision) const;

    // cameraName when it is a plain file name (no folder, "." or "..",
    // hidden name, control character, at most 100 characters); empty
    // otherwise, and the picture is then saved under safeName.
    static QString plainName(const QString& cameraName);
    // "picture-0007": the name of picture counter whose camera's name is
    // missing or not plain.
    static QString safeName(int counter);
    // What {serial} stands for when the camera gives no plain serial number.
    static QString unknownSerial();
    // path, once cleaned, lies inside folder.
    static bool isInside(const QString& folder, const QString& path);
    // "{name}, {date}, ..." for messages.
    static QString knownParts();

private:
    QString expand(const File& file) const;

    QString m_pattern = QStringLiteral("{name}.{ext}");
};

#endif
