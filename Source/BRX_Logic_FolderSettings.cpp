#include "BRX_Logic_FolderSettings.h"
#include "BRX_Debug.h"
#include "BRX_Platform_Base.h"

#include <QDir>

const QString BRX_Logic_FolderSettings::kDefaultPictureName = QStringLiteral("Picture");

BRX_Logic_FolderSettings::BRX_Logic_FolderSettings(QObject* parent)
    : QObject(parent)
{
    setDngPath(BRX_Platform_Base::defaultFolder());
    setJpgPath(BRX_Platform_Base::defaultFolder());
}

QString BRX_Logic_FolderSettings::dngPath() const
{
    return QDir::toNativeSeparators(m_dngPath);
}

QString BRX_Logic_FolderSettings::jpgPath() const
{
    return QDir::toNativeSeparators(m_jpgPath);
}

QString BRX_Logic_FolderSettings::pictureExampleFileName() const
{
    return QDir::toNativeSeparators(m_pictureExampleFileName);
}

template <typename T>
void BRX_Logic_FolderSettings::setAndUpdateExample(T& member, const T& value)
{
    if (member == value)
        return;
    member = value;
    updateExample();
}

void BRX_Logic_FolderSettings::setDngPath(const QString& path)
{
    setAndUpdateExample(m_dngPath, QDir::fromNativeSeparators(path));
}

void BRX_Logic_FolderSettings::setJpgPath(const QString& path)
{
    setAndUpdateExample(m_jpgPath, QDir::fromNativeSeparators(path));
}

void BRX_Logic_FolderSettings::setPictureName(const QString& name)
{
    setAndUpdateExample(m_pictureName, name);
}

void BRX_Logic_FolderSettings::setPictureIndex(int index)
{
    setAndUpdateExample(m_pictureIndex, index);
}

void BRX_Logic_FolderSettings::setPictureExampleFileFormat(bool isDng)
{
    setAndUpdateExample(m_exampleIsDng, isDng);
}

void BRX_Logic_FolderSettings::incrementPictureIndex()
{
    ++m_pictureIndex;
    updateExample();
}

void BRX_Logic_FolderSettings::setCameraFileName(const QString& name)
{
    m_cameraFileName = name;
}

QString BRX_Logic_FolderSettings::fileName(const QString& folder, const QString& name, int index, bool isDng)
{
    return folder + QLatin1Char('/')
        + pictureFileName(name, index, isDng ? QStringLiteral(".DNG") : QStringLiteral(".JPG"));
}

QString BRX_Logic_FolderSettings::pictureFileName(const QString& name, int index, const QString& extension)
{
    return name + QStringLiteral("%1").arg(index, 5, 10, QChar('0')) + extension;
}

// A host joins the name to its own folder: nothing in it may lead out of
// that folder, hide the file or upset the host's file system.
bool BRX_Logic_FolderSettings::isPlainFileName(const QString& name)
{
    static const QString kRefused = QStringLiteral("/\\:*?\"<>|");
    if (name.isEmpty() || name.size() > kMaxFileNameLength || name.startsWith(QLatin1Char('.'))
        || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name) {
        const ushort code = c.unicode();
        const bool printableLatin1 = (code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF);
        if (!printableLatin1 || kRefused.contains(c))
            return false;
    }
    return true;
}

QString BRX_Logic_FolderSettings::plainFileNameOr(const QString& name, const QString& replacement)
{
    if (isPlainFileName(name))
        return name;
    // A log line shows the camera's name in ASCII only.
    debugPrint(kDebugAlways, "%s - camera file name \"%s\" is not a plain file name, %s used instead", BRX_METHOD,
               name.toUtf8().toPercentEncoding(" ").constData(), qUtf8Printable(replacement));
    return replacement;
}

QString BRX_Logic_FolderSettings::withoutPictureExtension(const QString& name)
{
    const bool picture = name.endsWith(QLatin1String(".DNG")) || name.endsWith(QLatin1String(".JPG"));
    return picture ? name.left(name.size() - 4) : name;
}

void BRX_Logic_FolderSettings::updateExample()
{
    m_pictureExampleFileName =
        fileName(m_exampleIsDng ? m_dngPath : m_jpgPath, m_pictureName, m_pictureIndex, m_exampleIsDng);
    Q_EMIT signalPictureExampleChanged();
}
