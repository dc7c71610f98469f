#include "ReleaseRecorder.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"

namespace {
const quint32 kKeepAliveStage = 14;
const quint16 kResponseOk = 0x2001;
} // namespace

ReleaseRecorder::ReleaseRecorder(const std::shared_ptr<BRX_Commu_VirtualCamera>& camera)
    : m_state(std::make_shared<State>())
{
    m_state->clock.start();
    std::shared_ptr<State> state = m_state;
    camera->setCustomOperation(BRX_Commu_CameraAccess_Base::kOpRelease, BRX_Commu_VirtualCameraDevice::kNoData,
                               [state](const QVector<quint32>& params, const QByteArray&, QByteArray*) {
                                   const quint32 stage = params.value(0);
                                   if (stage != kKeepAliveStage && stage != 1 && stage != 2) {
                                       std::lock_guard<std::mutex> locker(state->mutex);
                                       state->stages.append(int(stage));
                                       state->times.append(state->clock.elapsed());
                                   }
                                   return kResponseOk;
                               });
}

QList<int> ReleaseRecorder::stages() const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->stages;
}

QList<qint64> ReleaseRecorder::times() const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->times;
}
