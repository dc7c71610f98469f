#ifndef BRX_COMMU_VIRTUALCAMERASTREAM_H
#define BRX_COMMU_VIRTUALCAMERASTREAM_H

#include <QByteArray>
#include <QtGlobal>

// The live-view stream of the virtual camera: the StreamInfo dataset and one
// stream packet per request. Every packet has the same size (the host sizes
// its buffer from the stream info's packetMaxSize and hands everything after
// the frame offset on as the frame): a 20-byte header, the tag list with the
// zoom record, audio levels and time code, then a JPEG-like frame whose bytes
// differ from frame to frame.
class BRX_Commu_VirtualCameraStream
{
public:
    static const quint32 kDefaultFrameSize = 2048;
    // The whole sensor is the outer bounds, the active area and, in full
    // view, the source area of the picture.
    static const quint32 kSensorWidth = 6000;
    static const quint32 kSensorHeight = 4000;
    // Full view; the magnified view shows a quarter of the width and height.
    static const quint32 kFullViewZoom = 1;
    static const quint32 kMagnifiedZoom = 4;

    QByteArray streamInfo() const;
    // The next packet; the frame counter advances.
    QByteArray nextPacket();

    // Bounded to what a frame needs and a live-view buffer can hold; a host
    // reads it with the stream info, so set it before live view starts.
    void setFrameSize(quint32 bytes);
    void toggleZoom();
    // The focus cross in sensor coordinates, kept inside the sensor.
    void setFocusCross(qint32 x, qint32 y);

private:
    QByteArray tagList() const;
    QByteArray zoomRecord() const;
    QByteArray timeCode() const;
    // Start of the magnified area on one axis, centred on the cross.
    quint32 sourceStart(quint32 cross, quint32 extent) const;

    quint32 m_frameSize = kDefaultFrameSize;
    quint32 m_frameNumber = 0;
    quint32 m_zoomLevel = kFullViewZoom;
    quint32 m_crossX = kSensorWidth / 2;
    quint32 m_crossY = kSensorHeight / 2;
};

#endif
