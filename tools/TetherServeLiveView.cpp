#include "TetherServeLiveView.h"
#include "BRX_SDK.h"

namespace {

const std::size_t kMaxWatchers = 16;
const std::size_t kFramesQueued = 2;
const int kLingerMs = 2000;

} // namespace

const char* const TetherServeLiveView::kBoundary = "brxframe";

TetherServeLiveView::TetherServeLiveView(TetherSession& session)
    : m_session(session)
    , m_feed({kMaxWatchers, kFramesQueued, 0, false})
{
    m_linger.setSingleShot(true);
    m_linger.setInterval(kLingerMs);
    connect(&m_linger, &QTimer::timeout, this, [this] {
        m_on = false;
        m_session.setWantLiveView(false);
    });
}

void TetherServeLiveView::frame(int type, const void* data, unsigned int size)
{
    if (type != BRX_SDK_FrameType::FrameLiveView)
        return;
    const std::uint64_t number = ++m_frames;
    if (m_feed.clients() == 0)
        return;
    auto piece = std::make_shared<TetherServeFeed::Piece>();
    piece->id = number;
    piece->bytes.reserve(size + 128);
    piece->bytes.append("--").append(kBoundary).append("\r\nContent-Type: image/jpeg\r\nContent-Length: ");
    piece->bytes.append(std::to_string(size)).append("\r\nX-Frame-Number: ").append(std::to_string(number));
    piece->bytes.append("\r\n\r\n");
    piece->bytes.append(static_cast<const char*>(data), size).append("\r\n");
    m_feed.publish(std::move(piece));
}

void TetherServeLiveView::watchersChanged()
{
    QMetaObject::invokeMethod(this, &TetherServeLiveView::applyWish, Qt::QueuedConnection);
}

void TetherServeLiveView::applyWish()
{
    if (m_feed.clients() == 0) {
        if (m_on && !m_linger.isActive())
            m_linger.start();
        return;
    }
    m_linger.stop();
    if (!m_on)
        m_session.setWantLiveView(true);
    m_on = true;
}
