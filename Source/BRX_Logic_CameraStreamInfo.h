#ifndef BRX_LOGIC_CAMERASTREAMINFO_H
#define BRX_LOGIC_CAMERASTREAMINFO_H

#include "BRX_Logic_CameraDataset.h"

// The PTP StreamInfo dataset of live view (36 bytes), read on construction
// when live view starts. Its sizes drive the live-view packet buffer.
class BRX_Logic_CameraStreamInfo : public BRX_Logic_CameraDataset
{
public:
    explicit BRX_Logic_CameraStreamInfo(BRX_Commu_CameraAccess_Base* access);

    // A datasetSize other than 36 is logged but the data is kept.
    bool recvFromCamera() override;
    void dump(const QString& caller) const override;

    quint64 getDatasetSize() const;
    // Nanoseconds.
    quint64 getTimeResolution() const;
    // Bytes.
    quint32 getFrameHeaderSize() const;
    quint32 getFrameMaxSize() const;
    quint32 getPacketHeaderSize() const;
    quint32 getPacketMaxSize() const;
    quint32 getPacketAlignment() const;
};

#endif
