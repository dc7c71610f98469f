#include "ReleaseRecorder.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"

namespace {
const quint32 kKeepAliveStage = 14;
} // namespace

ReleaseRecorder::ReleaseRecorder(const std::shared_ptr<BRX_Commu_VirtualCamera>& camera)
    : m_state(std::make_shared<State>())
{
    m_state->clock.start();
    std::shared_ptr<State> state = m_state;
    camera->setOperationObserver([state](quint16 opCode, const QVector<quint32>& params) {
        const quint32 stage = params.value(0);
        if (opCode != BRX_Commu_CameraAccess_Base::kOpRelease || stage == 1 || stage == 2)
            return;
        std::lock_guard<std::mutex> locker(state->mutex);
        if (stage == kKeepAliveStage) {
            state->keepAlives.append(state->clock.elapsed());
            return;
        }
        state->stages.append(int(stage));
        state->times.append(state->clock.elapsed());
    });
}

QList<int> ReleaseRecorder::stages() const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->stages;
}

QList<qint64> ReleaseRecorder::keepAliveTimes() const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->keepAlives;
}

QList<qint64> ReleaseRecorder::times() const
{
    std::lock_guard<std::mutex> locker(m_state->mutex);
    return m_state->times;
}
