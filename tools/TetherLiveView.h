#ifndef TETHERLIVEVIEW_H
#define TETHERLIVEVIEW_H

#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QList>

#include <cstdio>
#include <mutex>

// The liveview subcommand: writes the live-view frames one after the other
// as an MJPEG stream and reports the frame rate, zoom area and focus cross.
// Frames arrive in the library's controller thread.
class TetherLiveView : public TetherFrameSink
{
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    // Streams for ms milliseconds (negative: until Ctrl-C) into path ("-":
    // standard output), a report line each second; an exit code.
    static int stream(TetherSession& session, const QString& path, int ms);

    ~TetherLiveView() override;
    bool open(const QString& path);
    void close();
    void frame(int type, const void* data, unsigned int size) override;
    int frames() const;
    // "25 frames (24.9 fps), zoom 1x, showing 0%, 0% to 100%, 100%, focus cross at 50%, 50%"
    QString report() const;

private:
    double framesPerSecond() const;

    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    bool m_ownFile = false;
    bool m_writeFailed = false;
    int m_frames = 0;
    int m_zoomLevel = 1;
    QElapsedTimer m_clock;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
};

#endif
