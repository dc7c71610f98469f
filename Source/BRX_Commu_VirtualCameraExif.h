#ifndef BRX_COMMU_VIRTUALCAMERAEXIF_H
#define BRX_COMMU_VIRTUALCAMERAEXIF_H

#include "BRX_Commu_TiffWriter.h"
#include "BRX_Commu_VirtualCameraShot.h"

#include <QByteArray>
#include <memory>

// The Exif of a shot as the virtual camera writes it into both its files:
// the camera, the time and the orientation in the picture's first IFD, the
// exposure, lens and file number in the Exif IFD; for a JPG also the APP1
// segment that carries them with the thumbnail.
class BRX_Commu_VirtualCameraExif
{
public:
    typedef BRX_Commu_TiffWriter::Ifd Ifd;

    explicit BRX_Commu_VirtualCameraExif(const BRX_Commu_VirtualCameraShot& shot);

    // Make, model, orientation, software, date and the Exif IFD of a
    // picture of width x height pixels.
    void addPrimaryTags(Ifd& ifd, int width, int height) const;
    // A JPG's APP1 segment, marker and length first: the primary tags, the
    // thumbnail (a JPEG of at most kMaxThumbnailBytes) in IFD1, and a user
    // comment of commentBytes (0, or more than 8), with which a camera
    // brings a file to a size.
    QByteArray jpegSegment(int width, int height, const QByteArray& thumbnail, int commentBytes) const;
    static const int kMaxThumbnailBytes = 48000;
    // What the comment adds to the segment beyond its bytes.
    static const int kCommentOverhead = 12;
    static const int kMinimumCommentBytes = 9;

private:
    void addCameraTags(Ifd& ifd) const;
    static void addResolution(Ifd& ifd);
    std::shared_ptr<Ifd> exifIfd(int width, int height, bool forJpeg) const;
    void addExposureTags(Ifd& exif) const;
    void addLensTags(Ifd& exif) const;
    void addTimeTags(Ifd& exif) const;

    const BRX_Commu_VirtualCameraShot m_shot;
};

#endif
