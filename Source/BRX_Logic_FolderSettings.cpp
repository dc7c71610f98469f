#include "BRX_Logic_FolderSettings.h"
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
    return QStringLiteral("%1/%2%3%4")
        .arg(folder, name, QStringLiteral("%1").arg(index, 5, 10, QChar('0')),
             isDng ? QStringLiteral(".DNG") : QStringLiteral(".JPG"));
}

void BRX_Logic_FolderSettings::updateExample()
{
    m_pictureExampleFileName =
        fileName(m_exampleIsDng ? m_dngPath : m_jpgPath, m_pictureName, m_pictureIndex, m_exampleIsDng);
    Q_EMIT signalPictureExampleChanged();
}
