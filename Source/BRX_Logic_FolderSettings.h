#ifndef BRX_LOGIC_FOLDERSETTINGS_H
#define BRX_LOGIC_FOLDERSETTINGS_H

#include <QObject>
#include <QString>

// Where downloaded pictures go and how they are named. Paths are stored with
// "/" separators and handed out in the platform's native form. Written by the
// controller thread and, under the camera's transfer mutex, by the transfer
// thread.
class BRX_Logic_FolderSettings : public QObject
{
    Q_OBJECT
public:
    static const QString kDefaultPictureName;

    explicit BRX_Logic_FolderSettings(QObject* parent = nullptr);

    QString dngPath() const;
    QString jpgPath() const;
    QString pictureExampleFileName() const;
    QString pictureName() const { return m_pictureName; }
    int pictureIndex() const { return m_pictureIndex; }
    QString cameraFileName() const { return m_cameraFileName; }
    bool exampleIsDng() const { return m_exampleIsDng; }

    void setDngPath(const QString& path);
    void setJpgPath(const QString& path);
    void setPictureName(const QString& name);
    void setPictureIndex(int index);
    void setPictureExampleFileFormat(bool isDng);
    // The example shows the new number at once.
    void incrementPictureIndex();
    void setCameraFileName(const QString& name);

    // The file name a picture with this index gets: folder, name, index of at
    // least five digits, extension.
    static QString fileName(const QString& folder, const QString& name, int index, bool isDng);
    // The same without the folder, with any extension (its dot included, or
    // empty).
    static QString pictureFileName(const QString& name, int index, const QString& extension);
    // Whether a name from the camera may go to the host as a file name: 1 to
    // kMaxFileNameLength characters of printable Latin-1, none of them a
    // folder separator or a character some file systems refuse
    // (/ \ : * ? " < > |), no "..", and no leading dot.
    static bool isPlainFileName(const QString& name);
    // name when it is a plain file name, else replacement, with a log line
    // that names both.
    static QString plainFileNameOr(const QString& name, const QString& replacement);
    // The camera's name without its ".DNG" or ".JPG" ending.
    static QString withoutPictureExtension(const QString& name);
    static const int kMaxFileNameLength = 64;

signals:
    void signalPictureExampleChanged();

private:
    template <typename T>
    void setAndUpdateExample(T& member, const T& value);
    void updateExample();

    QString m_dngPath;
    QString m_jpgPath;
    QString m_cameraFileName;
    QString m_pictureName;
    QString m_pictureExampleFileName;
    bool m_exampleIsDng = false;
    int m_pictureIndex = 1;
};

#endif
