#ifndef BRX_LOGIC_CAMERADATASET_H
#define BRX_LOGIC_CAMERADATASET_H

#include "BRX_Commu_ByteReader.h"

#include <QString>

#include <vector>

class BRX_Commu_CameraAccess_Base;

// A fixed-size dataset read from the camera with one operation. The buffer
// never changes size: a short answer leaves zeros behind (the transport
// zero-fills) and a failed read leaves it all zero, so every getter reads
// inside the buffer whatever the camera sent.
class BRX_Logic_CameraDataset
{
public:
    virtual ~BRX_Logic_CameraDataset();

    // Reads the dataset again; false (and all zeros) when the read failed.
    virtual bool recvFromCamera() = 0;
    // Writes the raw buffer and one line per field to the debug log.
    virtual void dump(const QString& caller) const = 0;

protected:
    typedef bool (BRX_Commu_CameraAccess_Base::*ReadOperation)(void* buffer, quint32 size);

    BRX_Logic_CameraDataset(BRX_Commu_CameraAccess_Base* access, quint32 bufferSize);

    // One read into the whole buffer.
    bool readFromCamera(ReadOperation read);
    // The dump header "<label> for <caller>:" and the raw bytes.
    void dumpBuffer(const char* label, const QString& caller) const;
    BRX_Commu_ByteReader reader() const;

    BRX_Commu_CameraAccess_Base* const m_access;  // not owned
    // Exactly the dataset's size, so a stray read would leave the allocation.
    std::vector<quint8> m_buffer;
};

#endif
