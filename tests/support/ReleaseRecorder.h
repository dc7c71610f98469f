#ifndef RELEASERECORDER_H
#define RELEASERECORDER_H

#include <QElapsedTimer>
#include <QList>

#include <memory>
#include <mutex>

class BRX_Commu_VirtualCamera;

// Records the release stages a virtual camera receives (operation 0x9004),
// with the time of each since the recorder was attached. Keep-alives are
// kept apart and the autofocus stages left out: they come and go on their own.
class ReleaseRecorder
{
public:
    explicit ReleaseRecorder(const std::shared_ptr<BRX_Commu_VirtualCamera>& camera);

    QList<int> stages() const;
    // Milliseconds since attaching, one per recorded stage.
    QList<qint64> times() const;
    int count() const { return stages().size(); }
    QList<qint64> keepAliveTimes() const;

private:
    struct State {
        std::mutex mutex;
        QElapsedTimer clock;
        QList<int> stages;
        QList<qint64> times;
        QList<qint64> keepAlives;
    };
    // Shared with the camera's handler, which may outlive the recorder.
    std::shared_ptr<State> m_state;
};

#endif
