// Camera events: the interrupt packets of the libusb binding joined into
// containers, then the event thread of the USB access reading the rest of
// the input from the interrupt endpoint until the device is lost, and the
// access delivering what it read.
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_UsbEventAssembler.h"
#include "BRX_Commu_UsbScanner.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "ScriptedUsbPipe.h"

#include <QCoreApplication>

namespace {

const quint32 kEventContainerLimit = 1024;

// One camera that opens onto the scripted pipe.
class ScriptedScanner : public BRX_Commu_UsbScanner
{
public:
    explicit ScriptedScanner(std::shared_ptr<BRX_Commu_UsbPipe> pipe) : m_pipe(std::move(pipe)) {}
    QList<BRX_Commu_DeviceEntry> scan() override { return {}; }
    QList<quint16> acceptedVendorIds() const override { return {}; }
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString&) override { return m_pipe; }

private:
    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
};

void assemblePackets(FuzzInput& input)
{
    const quint32 packetSize = 1 + input.u8() % 64;
    BRX_Commu_UsbEventAssembler assembler(packetSize);
    const int packets = input.u8() % 16;
    for (int i = 0; i < packets; ++i) {
        const QByteArray packet = input.bytes(input.u8() % (packetSize + 1));
        QByteArray container;
        if (assembler.addPacket(reinterpret_cast<const quint8*>(packet.constData()), quint32(packet.size()),
                                &container))
            fuzzCheck(quint32(container.size()) < kEventContainerLimit + packetSize, "event container unbounded");
    }
}

// The two session openings find the bulk endpoint timing out; the events
// come until the interrupt script runs out and the device is lost.
void deliverEvents(int productId, const QByteArray& interruptScript)
{
    const QByteArray bulkTimeouts(2, '\x01');
    const auto pipe = std::make_shared<ScriptedUsbPipe>(64, bulkTimeouts, interruptScript);
    BRX_Commu_CameraAccess_Usb_PTP access(std::make_shared<ScriptedScanner>(pipe));
    access.openConnection(0x1234, productId, QStringLiteral("fuzz"));
    while (access.productId() != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const int productId = fuzzProduct(input.u8());
    assemblePackets(input);
    deliverEvents(productId, input.rest());
    return 0;
}
