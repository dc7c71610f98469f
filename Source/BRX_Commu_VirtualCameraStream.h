#ifndef BRX_COMMU_VIRTUALCAMERASTREAM_H
#define BRX_COMMU_VIRTUALCAMERASTREAM_H

#include "BRX_Commu_VirtualCameraTestCard.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// The live-view stream of the virtual camera: the StreamInfo dataset and one
// stream packet per request. Every packet has the same size (the host sizes
// its buffer from the stream info's packetMaxSize and hands everything after
// the frame offset on as the frame): a 20-byte header, the tag list with the
// zoom record, audio levels and time code, then the frame, a JPEG of the test
// card as the zoom record frames it, with a ball that goes round once every
// kCycleFrames and the focus cross; a comment segment numbers the frame and
// pads it to the frame size.
class BRX_Commu_VirtualCameraStream
{
public:
    static constexpr quint32 kDefaultFrameSize = 16 * 1024;
    // The least frame size: room for the smallest picture.
    static constexpr quint32 kMinFrameSize = 2048;
    // The whole sensor is the outer bounds, the active area and, in full
    // view, the source area of the picture.
    static const quint32 kSensorWidth = BRX_Commu_VirtualCameraTestCard::kWidth;
    static const quint32 kSensorHeight = BRX_Commu_VirtualCameraTestCard::kHeight;
    // Pictures of a cycle are encoded once and kept until the view changes.
    static constexpr int kCycleFrames = 50;
    // The frame's picture at its largest, 3:2 as the sensor; a frame size
    // too small for it gets a smaller one.
    static constexpr int kFrameWidth = 480;
    static constexpr int kFrameHeight = 320;
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
    // The JPEG of the current frame, m_frameSize bytes.
    QByteArray frame();
    // The picture of one turn of the cycle at the current picture size.
    const QByteArray& cyclePicture(int index);
    // The view changed: every picture is made anew, at the largest size.
    void forgetPictures();
    QByteArray zoomRecord() const;
    // The image source area: the whole sensor, or in the magnified view the
    // part about the cross.
    BRX_Commu_VirtualCameraTestCard::Area shownArea() const;
    QByteArray timeCode() const;
    // Start of the magnified area on one axis, centred on the cross.
    quint32 sourceStart(quint32 cross, quint32 extent) const;

    quint32 m_frameSize = kDefaultFrameSize;
    quint32 m_frameNumber = 0;
    quint32 m_zoomLevel = kFullViewZoom;
    quint32 m_crossX = kSensorWidth / 2;
    quint32 m_crossY = kSensorHeight / 2;
    QVector<QByteArray> m_cycle = QVector<QByteArray>(kCycleFrames);
    // How many times the picture size was halved to fit the frame size.
    int m_halvings = 0;
};

#endif
