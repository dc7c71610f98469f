#ifndef TETHERSERVELIVEVIEW_H
#define TETHERSERVELIVEVIEW_H

#include "TetherServeFeed.h"
#include "TetherSession.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>

// The live view for the browsers: every frame the library delivers becomes
// one part of a multipart/x-mixed-replace MJPEG stream (numbered in its
// X-Frame-Number header, so a browser sees what it missed), made once and queued
// for each watching browser (two frames deep: a slow browser skips frames,
// nobody waits for it). Live view runs while a browser watches, and a little
// longer, so a page that reconnects does not restart it.
class TetherServeLiveView : public QObject, public TetherFrameSink
{
    Q_OBJECT
public:
    static const char* const kBoundary;

    explicit TetherServeLiveView(TetherSession& session);

    TetherServeFeed& feed() { return m_feed; }
    // Frames the library has delivered since the start; any thread.
    std::uint64_t frames() const { return m_frames; }
    // The library's controller thread.
    void frame(int type, const void* data, unsigned int size) override;
    // After a browser came or went; any thread.
    void watchersChanged();

private:
    void applyWish();

    TetherSession& m_session;
    TetherServeFeed m_feed;
    std::atomic<std::uint64_t> m_frames{0};
    QTimer m_linger;
    bool m_on = false;
};

#endif
