#ifndef BRX_COMMU_VIRTUALCAMERADNG_H
#define BRX_COMMU_VIRTUALCAMERADNG_H

#include "BRX_Commu_TiffWriter.h"
#include "BRX_Commu_VirtualCameraJpeg.h"
#include "BRX_Commu_VirtualCameraShot.h"

#include <QByteArray>

// A DNG 1.4 file as a camera writes it: IFD0 holds the uncompressed RGB
// thumbnail with the camera's colour data (a colour matrix for D65 and the
// neutral it saw), its SubIFDs the raw image (16-bit RGGB samples, one
// uncompressed strip) and a JPEG preview, then the Exif IFD and, at the
// end, the camera's private data. The raw is the card's sRGB pixels taken
// back through the colour matrix to what the sensor would have recorded, so
// that a raw converter develops the card's colours.
class BRX_Commu_VirtualCameraDng
{
public:
    struct Raw {
        int width = 0;
        int height = 0;
        int blackLevel = 0;
        int whiteLevel = 0;
        // The card's sRGB pixels at width x height.
        BRX_Commu_VirtualCameraJpeg::RowSource rows;
    };
    struct Preview {
        int width = 0;
        int height = 0;
        QByteArray jpeg;
    };

    // privateBytes of private data, 0 or more than 4.
    BRX_Commu_VirtualCameraDng(const BRX_Commu_VirtualCameraShot& shot, const Raw& raw,
                               const BRX_Commu_VirtualCameraJpeg::Image& thumbnail, const Preview& preview,
                               quint32 privateBytes);

    quint32 size() const { return m_writer.size(); }
    QByteArray write() const { return m_writer.write(); }

private:
    static std::shared_ptr<BRX_Commu_TiffWriter::Ifd> build(const BRX_Commu_VirtualCameraShot& shot, const Raw& raw,
                                                           const BRX_Commu_VirtualCameraJpeg::Image& thumbnail,
                                                           const Preview& preview, quint32 privateBytes);

    BRX_Commu_TiffWriter m_writer;
};

#endif
