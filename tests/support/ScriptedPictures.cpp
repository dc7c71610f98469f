#include "ScriptedPictures.h"

#include "BRX_Commu_VirtualCamera.h"

namespace {

typedef BRX_Commu_VirtualCameraDevice Device;
const quint32 kStorageId = 0x00010001;

void appendU16(QByteArray& data, quint16 value, bool bigEndian = false)
{
    const char low = char(value & 0xFF);
    const char high = char(value >> 8);
    data.append(bigEndian ? high : low);
    data.append(bigEndian ? low : high);
}

void appendU32(QByteArray& data, quint32 value, bool bigEndian = false)
{
    appendU16(data, quint16(bigEndian ? value >> 16 : value & 0xFFFF), bigEndian);
    appendU16(data, quint16(bigEndian ? value & 0xFFFF : value >> 16), bigEndian);
}

QByteArray objectInfo(const ScriptedPictures::Object& object, int kind)
{
    const QByteArray& thumbnail = object.thumbnails[qBound(0, kind, 2)];
    QByteArray info;
    appendU32(info, kStorageId);
    appendU16(info, object.format);
    appendU16(info, 0);
    appendU32(info, quint32(object.claimedSize >= 0 ? object.claimedSize : object.data.size()));
    appendU16(info, 0x3808);
    appendU32(info, quint32(object.claimedThumbSize >= 0 ? object.claimedThumbSize : thumbnail.size()));
    info.append(52 - info.size(), '\0');
    info.append(char(object.fileName.size() + 1));
    for (QChar c : object.fileName)
        appendU16(info, c.unicode());
    appendU16(info, 0);
    info.append(2, '\0');
    return info;
}

// An IFD entry: tag, type SHORT, count 1, value.
void appendShortEntry(QByteArray& data, quint16 tag, quint16 value, bool bigEndian)
{
    appendU16(data, tag, bigEndian);
    appendU16(data, 3, bigEndian);
    appendU32(data, 1, bigEndian);
    appendU16(data, value, bigEndian);
    appendU16(data, 0, bigEndian);
}

QByteArray picture(QByteArray head, int orientationCode, int width, int size, bool bigEndian)
{
    appendU16(head, 2, bigEndian);
    appendShortEntry(head, 0x0112, quint16(orientationCode), bigEndian);
    appendShortEntry(head, 0xA002, quint16(width), bigEndian);
    head.append(qMax(0, size - head.size()), 'p');
    return head;
}

}  // namespace

ScriptedPictures::ScriptedPictures(BRX_Commu_VirtualCamera& camera)
    : m_state(std::make_shared<State>())
{
    install(camera);
}

void ScriptedPictures::add(quint32 handle, const Object& object)
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    m_state->order.append(handle);
    m_state->objects.insert(handle, object);
}

void ScriptedPictures::remove(quint32 handle)
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    m_state->order.removeAll(handle);
    m_state->objects.remove(handle);
}

QByteArray ScriptedPictures::data(quint32 handle) const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->objects.value(handle).data;
}

QByteArray ScriptedPictures::exifPicture(int orientationCode, int width, int size)
{
    QByteArray head = QByteArray::fromHex("FFD8FFE1001A457869660000");
    head += "II";
    appendU16(head, 42);
    appendU32(head, 8);
    return picture(head, orientationCode, width, size, false);
}

QByteArray ScriptedPictures::dngPicture(int orientationCode, int width, int size)
{
    QByteArray head("MM");
    appendU16(head, 42, true);
    appendU32(head, 8, true);
    return picture(head, orientationCode, width, size, true);
}

// The handlers run on the transport's thread with the camera locked; they
// touch only the shared state.
void ScriptedPictures::install(BRX_Commu_VirtualCamera& camera)
{
    const std::shared_ptr<State> state = m_state;
    typedef QVector<quint32> Params;
    camera.setCustomOperation(0x1004, Device::kDataIn, [](const Params&, const QByteArray&, QByteArray* in) {
        appendU32(*in, 1);
        appendU32(*in, kStorageId);
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x1007, Device::kDataIn, [state](const Params&, const QByteArray&, QByteArray* in) {
        std::lock_guard<std::mutex> locker(state->mutex);
        appendU32(*in, quint32(state->order.size()));
        for (quint32 handle : qAsConst(state->order))
            appendU32(*in, handle);
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x1008, Device::kDataIn, [state](const Params& p, const QByteArray&, QByteArray* in) {
        std::lock_guard<std::mutex> locker(state->mutex);
        if (!state->objects.contains(p.value(0)))
            return quint16(Device::kResponseInvalidParameter);
        *in = objectInfo(state->objects.value(p.value(0)), int(p.value(1)));
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x1009, Device::kDataIn, [state](const Params& p, const QByteArray&, QByteArray* in) {
        std::lock_guard<std::mutex> locker(state->mutex);
        if (!state->objects.contains(p.value(0)))
            return quint16(Device::kResponseInvalidParameter);
        *in = state->objects.value(p.value(0)).data;
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x100A, Device::kDataIn, [state](const Params& p, const QByteArray&, QByteArray* in) {
        std::lock_guard<std::mutex> locker(state->mutex);
        if (!state->objects.contains(p.value(0)) || p.value(1) > 2)
            return quint16(Device::kResponseInvalidParameter);
        *in = state->objects.value(p.value(0)).thumbnails[p.value(1)];
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x101B, Device::kDataIn, [state](const Params& p, const QByteArray&, QByteArray* in) {
        std::lock_guard<std::mutex> locker(state->mutex);
        if (!state->objects.contains(p.value(0)))
            return quint16(Device::kResponseInvalidParameter);
        *in = state->objects.value(p.value(0)).data.mid(int(p.value(1)), int(p.value(2)));
        return quint16(Device::kResponseOK);
    });
    camera.setCustomOperation(0x100B, Device::kNoData, [state](const Params& p, const QByteArray&, QByteArray*) {
        std::lock_guard<std::mutex> locker(state->mutex);
        if (!state->objects.remove(p.value(0)))
            return quint16(Device::kResponseInvalidParameter);
        state->order.removeAll(p.value(0));
        return quint16(Device::kResponseOK);
    });
}
