#ifndef BRX_COMMU_VIRTUALCAMERAPICTURE_H
#define BRX_COMMU_VIRTUALCAMERAPICTURE_H

#include "BRX_Commu_VirtualCameraJpeg.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraShot.h"
#include "BRX_Commu_VirtualCameraTestCard.h"

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

// One picture of the virtual camera: the test card with the shot's file
// number and settings on it, and every file and thumbnail made of it. Its
// pictures are 3:2, as the sensor and the card; a picture's JPEG at a width
// is encoded once and shared by the DNG's preview and the JPG.
class BRX_Commu_VirtualCameraPicture
{
public:
    // The small thumbnail (DCF's size, in the JPG's Exif and as the DNG's
    // first image) and the camera's big one.
    static constexpr int kSmallWidth = 160;
    static constexpr int kSmallHeight = 120;
    static constexpr int kBigWidth = 640;
    static constexpr int kBigHeight = 480;
    // The narrowest picture a file holds.
    static constexpr int kMinimumWidth = 16;
    // The quality of its JPEGs: the JPG's picture, the preview, the thumbnails.
    static constexpr int kJpegQuality = 90;

    explicit BRX_Commu_VirtualCameraPicture(const BRX_Commu_VirtualCameraShot& shot);

    // A picture width pixels wide is this high: 3:2, even for the colour filters.
    static int heightOf(int width);

    // A file's bytes and the pixels of its picture.
    struct File {
        QByteArray data;
        int width = 0;
        int height = 0;
    };

    // The DNG: a raw of width pixels, or, for bytes other than 0, of the
    // width that takes the file to exactly bytes (never below its preview
    // and thumbnail); its preview is the picture previewWidth wide.
    File dng(const BRX_Commu_VirtualCameraProfile::Sensor& sensor, int width, quint32 bytes,
                   int previewWidth) const;
    // The JPG: the picture width pixels wide, or, for bytes other than 0,
    // narrower where that keeps it within bytes, the rest of which its Exif
    // takes as maker data as far as the segment's room goes; it ends at its
    // EOI. thumbnail is the small thumbnail it carries.
    File jpg(int width, quint32 bytes, const QByteArray& thumbnail) const;
    // The small or big thumbnail (big: true), grown to exactly bytes by
    // comments or made smaller to fit, never below the smallest picture.
    QByteArray thumbnail(bool big, quint32 bytes) const;
    // The picture's JPEG at width.
    QByteArray jpeg(int width) const;

    // What the card shows under the number: exposure, aperture,
    // sensitivity, compensation, program, metering, white balance, lens.
    static QString caption(const BRX_Commu_VirtualCameraShot& shot);

private:
    BRX_Commu_VirtualCameraJpeg::RowSource cardRows(int width, int height) const;
    BRX_Commu_VirtualCameraJpeg::Image cardImage(int width, int height) const;
    int jpgWidthWithin(int width, int budget) const;

    const BRX_Commu_VirtualCameraShot m_shot;
    BRX_Commu_VirtualCameraTestCard m_card;
    mutable QHash<int, QByteArray> m_jpegs;
};

#endif
