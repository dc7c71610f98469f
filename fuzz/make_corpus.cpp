// Writes the seed inputs of every fuzz target from the virtual camera's own
// answers: brx_make_corpus <folder> creates <folder>/<target>/<seed> files.
// The campaign merges them into fuzz/corpus (see docs/fuzzing.md).
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_PtpIpLink.h"
#include "BRX_Commu_TcpStream.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_Commu_VirtualCameraStream.h"
#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QVector>

#include <cstdio>

namespace {

typedef BRX_Commu_ByteWriter Writer;
typedef BRX_Commu_PtpContainer Container;
typedef BRX_Commu_PtpTransaction Transaction;

const quint32 kPendingHandle = 0x12345678;
const int kPacketBytes = 512;
const int kHeadBytes = 4096;

// One virtual camera with its sessions open, answering operations in turn.
class CameraSession
{
public:
    explicit CameraSession(int productId) : m_device(productId)
    {
        call(0x1002, {1});
        call(0x9005, {0xFF55});
    }
    QByteArray call(quint16 opCode, const QVector<quint32>& params = {}, const QByteArray& dataOut = {})
    {
        return m_device.handle(opCode, m_transactionId++, params, dataOut).data;
    }
    BRX_Commu_VirtualCameraDevice& device() { return m_device; }

private:
    BRX_Commu_VirtualCameraDevice m_device;
    quint32 m_transactionId = 0;
};

QString g_folder;

void save(const char* target, const QString& name, const QByteArray& bytes)
{
    const QString folder = g_folder + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
}

QString hex(int productId)
{
    return QString::number(productId, 16);
}

QByteArray byte(int value)
{
    return QByteArray(1, char(value));
}

QByteArray u16(quint16 value)
{
    QByteArray out;
    Writer::appendU16(out, value);
    return out;
}

QByteArray u32(quint32 value)
{
    QByteArray out;
    Writer::appendU32(out, value);
    return out;
}

// A length-prefixed piece, as FuzzInput::chunk reads it.
QByteArray piece(const QByteArray& bytes)
{
    const QByteArray cut = bytes.left(0xFFFF);
    return u16(quint16(cut.size())) + cut;
}

QByteArray dataContainer(quint16 opCode, quint32 transactionId, const QByteArray& payload)
{
    quint8 header[Container::kHeaderSize];
    Container::encodeHeader(header, Container::kHeaderSize + payload.size(), Container::kData, opCode, transactionId);
    return QByteArray(reinterpret_cast<const char*>(header), sizeof header) + payload;
}

// Pipe script steps (see ScriptedUsbPipe): an accepted bulk-out, and a
// container the device sends in one transfer, with the zero-length packet
// that ends one of whole packets.
QByteArray sentStep()
{
    return byte(0);
}

QByteArray receivedSteps(const QByteArray& bytes)
{
    const QByteArray steps = byte(0) + piece(bytes);
    return bytes.size() % kPacketBytes == 0 ? steps + byte(0) + piece(QByteArray()) : steps;
}

QByteArray response(quint32 transactionId, const QVector<quint32>& params = {})
{
    return Container(Container::kResponse, 0x2001, transactionId, params).encode();
}

void writeContainers(CameraSession& camera)
{
    save("ptp_container", "command", Container(Container::kCommand, 0x1002, 0, {1}).encode());
    save("ptp_container", "response", response(7, {1, 2, 3}));
    camera.device().takePicture();
    for (const Container& event : camera.device().takeEvents())
        save("ptp_container", QStringLiteral("event_%1").arg(event.code, 0, 16), event.encode());
}

// Three transactions: DeviceInfo in, the settings block out, a command.
void writeUsbLink(int productId, CameraSession& camera)
{
    const QByteArray deviceInfo = camera.call(0x1001);
    const QByteArray block(100, '\x11');
    const QByteArray requests = u16(511) + byte(1 + 3) + u32(2048) + byte(2 + 3) + u32(100) + byte(0) + u32(0);
    const QByteArray laterTransactions = sentStep() + sentStep() + receivedSteps(response(1)) + sentStep()
                                         + receivedSteps(response(2));
    const QByteArray script = sentStep() + receivedSteps(dataContainer(0x9001, 0, deviceInfo))
                              + receivedSteps(response(0)) + laterTransactions;
    save("usb_link", "transactions_" + hex(productId), requests + script);
    // A stalled data phase: device status and two cleared halts, then the rest.
    const QByteArray stalled = sentStep() + byte(2) + byte(0) + byte(0) + byte(0) + laterTransactions;
    save("usb_link", "stall_" + hex(productId), requests + stalled);
}

// A command connection that keeps what it reads as a stream script of the
// ptpip_link target: each read a piece of its bytes.
class RecordingStream : public BRX_Commu_PtpIpStream
{
public:
    explicit RecordingStream(std::unique_ptr<BRX_Commu_PtpIpStream> stream) : m_stream(std::move(stream)) {}
    Status read(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override
    {
        const Status status = m_stream->read(data, capacity, received, timeoutMs);
        if (*received)
            *m_script += byte(0) + u16(quint16(*received)) + QByteArray(reinterpret_cast<const char*>(data), int(*received));
        return status;
    }
    Status write(const quint8* data, quint32 size, int timeoutMs) override
    {
        return m_stream->write(data, size, timeoutMs);
    }
    void shutdown() override { m_stream->shutdown(); }
    QByteArray* m_script = nullptr;

private:
    std::unique_ptr<BRX_Commu_PtpIpStream> m_stream;
};

// The served virtual camera's own bytes: its Init Command Ack and its
// answers to DeviceInfo, OpenSession and the settings (block or property).
void writePtpIpLink(int productId)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::create(productId);
    BRX_Commu_VirtualCameraPtpIpServer server(camera);
    QString error;
    auto recording = new RecordingStream(BRX_Commu_TcpStream::connectTo("127.0.0.1", server.port(), 5000, &error));
    QByteArray script;
    recording->m_script = &script;
    BRX_Commu_PtpIpLink link{std::unique_ptr<BRX_Commu_PtpIpStream>(recording)};
    link.initCommand({"seed", QStringLiteral("seed")}, "seed");
    const bool structProduct = productId == 0x2009 || productId == 0x2011 || productId == 0x2021 || productId == 0x2051;
    const quint16 settings = structProduct ? 0x9002 : 0x1015;
    // Requests: operation, kind (direction + 3 x parameters), buffer size.
    const QByteArray requests = u16(0x1001) + byte(1) + u32(2048) + u16(0x1002) + byte(3) + u32(0)
                                + u16(settings) + byte(structProduct ? 1 : 4) + u32(structProduct ? 100 : 4);
    const quint32 sessionId = 1;
    const quint32 property = 0x5005;
    const Transaction requested[3] = {
        Transaction::make(0x1001, 0, nullptr, Transaction::kDataIn, nullptr, 0, "seed"),
        Transaction::make(0x1002, 1, &sessionId, Transaction::kNoData, nullptr, 0, "seed"),
        Transaction::make(settings, structProduct ? 0 : 1, &property, Transaction::kDataIn, nullptr, 0, "seed"),
    };
    for (const Transaction& transaction : requested) {
        quint16 code = 0;
        link.transact(transaction, &code);
    }
    save("ptpip_link", "session_" + hex(productId), requests + script);
}

// The assembler gets the first event as one full packet of 16 bytes and a
// zero-length packet; the event thread gets them all.
void writeEvents(int productIndex, int productId, CameraSession& camera)
{
    camera.device().takePicture();
    camera.device().changeProperty(0xD02D, 1);
    const QVector<Container> events = camera.device().takeEvents();
    QByteArray script;
    for (const Container& event : events)
        script += byte(0) + piece(event.encode());
    const QByteArray first = events.value(0).encode().left(16);
    const QByteArray assembler = byte(15) + byte(2) + byte(first.size()) + first + byte(0);
    save("usb_events", "events_" + hex(productId), byte(productIndex) + assembler + script);
}

void writeDatasets(int productIndex, int productId, CameraSession& camera)
{
    static const quint16 kOperations[] = {0x1001, 0x9003, 0x9020, 0x9008, 0x1024};
    for (int kind = 0; kind < 5; ++kind) {
        const QByteArray answer = camera.call(kOperations[kind]);
        if (!answer.isEmpty())
            save("datasets", QStringLiteral("%1_%2").arg(hex(productId)).arg(kind),
                 byte(kind + 5 * productIndex) + answer);
    }
}

void writeDeviceProperties(int productId, CameraSession& camera)
{
    static const quint16 kProperties[] = {0x5001, 0x500A, 0x5010, 0x5013, 0xD60C};
    for (quint16 code : kProperties) {
        const QByteArray desc = camera.call(0x1014, {code});
        if (!desc.isEmpty())
            save("device_property", QStringLiteral("%1_%2").arg(hex(productId)).arg(code, 0, 16),
                 u16(code) + u32(7) + desc);
    }
}

QByteArray pendingObject(CameraSession& camera)
{
    return camera.call(0x1009, {kPendingHandle}).left(kHeadBytes);
}

void writePictures(int productIndex, int productId, CameraSession& camera)
{
    camera.device().takePicture();
    QByteArray info = camera.call(0x1008, {kPendingHandle, 0});
    const QByteArray thumbnail = camera.call(0x100A, {kPendingHandle, 0});
    const QByteArray object = pendingObject(camera);
    // The seed carries the head of the picture only; its size says so, to
    // keep every run of the seed small.
    if (info.size() >= 12)
        Writer::writeU32(reinterpret_cast<quint8*>(info.data()), 8, quint32(object.size()));
    save("exif", "head_" + hex(productId), object.left(1024));
    save("object_info", "picture_" + hex(productId), byte(0) + piece(info) + object);
    const QByteArray props = camera.call(0x9801, {0x3801});
    const QByteArray orientation = camera.call(0x9803, {kPendingHandle, 0xD800});
    const QByteArray handles = camera.call(0x1007, {0xFFFFFFFF});
    save("transfer", "picture_" + hex(productId),
         byte(productIndex) + piece(camera.call(0x1001)) + piece(handles) + piece(info) + piece(props)
             + piece(orientation) + piece(thumbnail) + piece(object));
}

// The stream is the same for every product.
void writeLiveView()
{
    BRX_Commu_VirtualCameraStream stream;
    stream.setFrameSize(1024);
    QByteArray input;
    for (int i = 0; i < 3; ++i) {
        if (i == 1)
            stream.toggleZoom();
        input += piece(stream.nextPacket());
    }
    save("live_view", "stream", input);
}

void writeSettings(int structIndex, int productId, CameraSession& camera)
{
    const QByteArray block = camera.call(0x9002);
    if (block.isEmpty())
        return;
    const QByteArray setters = byte(3) + byte(3) + u32(500) + byte(9) + u32(800) + byte(36) + u32(2);
    save("settings_block", "block_" + hex(productId), byte(structIndex) + piece(block) + setters + block);
    save("settings_block", "short_" + hex(productId), byte(structIndex) + piece(block.left(40)) + byte(0));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    writeLiveView();
    static const int kStructProducts[] = {0x2009, 0x2011, 0x2021, 0x2051};
    for (int index = 0; index < 7; ++index) {
        const int productId = kFuzzProducts[index];
        CameraSession camera(productId);
        if (index == 0)
            writeContainers(camera);
        writeUsbLink(productId, camera);
        writePtpIpLink(productId);
        writeEvents(index, productId, camera);
        writeDatasets(index, productId, camera);
        writeDeviceProperties(productId, camera);
        writePictures(index, productId, camera);
        for (int s = 0; s < 4; ++s) {
            if (kStructProducts[s] == productId)
                writeSettings(s, productId, camera);
        }
    }
    return 0;
}
