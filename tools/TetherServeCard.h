#ifndef TETHERSERVECARD_H
#define TETHERSERVECARD_H

#include "TetherServeBridge.h"

#include <QString>

// The camera's card as the browsers see it: a page of its files at a time
// with the card's room, a file's thumbnail and bytes, and the import of the
// files not yet in the folder, which arrive as the pictures of this run do
// (saved by the run's TetherPictures). Host thread.
class TetherServeCard
{
public:
    // Files a page holds when the browser does not say.
    static constexpr int kPageSize = 24;
    static constexpr int kMaxPageSize = 200;

    explicit TetherServeCard(const QString& folder);

    // {"files": [...], "offset", "total", "room"}: the files from offset on,
    // at most limit of them, newest last.
    TetherServeReply page(int offset, int limit) const;
    TetherServeReply thumbnail(quint32 id) const;
    // The file's bytes as the camera holds them, to save under its name.
    TetherServeReply file(quint32 id) const;
    // {"importing": [names]}: the files not yet in the folder, asked for.
    TetherServeReply importNew() const;

private:
    const QString m_folder;
};

#endif
