#ifndef BRX_LOGIC_IMAGEENTRY_H
#define BRX_LOGIC_IMAGEENTRY_H

#include <QByteArray>
#include <QString>

#include <memory>

// One picture stored on the camera, as the image database lists it: the PTP
// object handle that identifies it, its display name, a thumbnail (the
// placeholder picture until a real one arrives) and two buffers that
// downloads fill. The entry owns its buffers; they go with it.
class BRX_Logic_ImageEntry
{
public:
    // Orientation of a picture whose Exif data has not been read yet.
    static constexpr int kUnknownOrientation = 360;
    // The two download buffers besides the thumbnail.
    enum ImageBuffer { kSecondImage = 0, kThirdImage = 1 };

    BRX_Logic_ImageEntry(quint32 handle, const QString& name, const QByteArray& placeholder);
    BRX_Logic_ImageEntry(const BRX_Logic_ImageEntry&) = delete;
    BRX_Logic_ImageEntry& operator=(const BRX_Logic_ImageEntry&) = delete;

    quint32 handle() const { return m_handle; }
    QString name() const { return m_name; }
    // Handles of type 2 have no picture to preview.
    bool isPreviewable() const { return m_previewable; }
    // True while the thumbnail is still the placeholder picture.
    bool isPlaceholder() const { return m_placeholder; }
    const QByteArray& thumbnail() const { return *m_thumbnail; }
    void setThumbnail(const QByteArray& thumbnail);
    // Null until the buffer is filled.
    const QByteArray* image(ImageBuffer buffer) const { return m_images[buffer].get(); }
    void setImage(ImageBuffer buffer, const QByteArray& data);

    // Degrees of rotation; kUnknownOrientation until the picture was analysed.
    int orientation() const { return m_orientation; }
    void setOrientation(int degrees) { m_orientation = degrees; }
    // 0 small, 1 medium, 2 large: how the picture's width compares with the
    // product's sensor sizes.
    int sizeClass() const { return m_sizeClass; }
    void setSizeClass(int sizeClass) { m_sizeClass = sizeClass; }

private:
    std::unique_ptr<QByteArray> m_thumbnail;
    std::unique_ptr<QByteArray> m_images[2];
    QString m_name;
    quint32 m_handle;
    bool m_previewable;
    bool m_placeholder = true;
    int m_orientation = kUnknownOrientation;
    int m_sizeClass = 0;
};

#endif
