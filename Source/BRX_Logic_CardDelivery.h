#ifndef BRX_LOGIC_CARDDELIVERY_H
#define BRX_LOGIC_CARDDELIVERY_H

#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_DownloadContext.h"

#include <QThread>

// Hands one picture already on the card to the host's frame callback: a
// record that names it as the card's, then the records of a tethered
// download in their order (the quick view when the host wants it, the
// start, the picture or the record of no data). It holds the download lock
// of the transfer state for all of it, so that its records never mix with
// those of a picture just taken; that one waits and is not lost.
//
// Built and started by the camera model, which keeps it in its list of
// transfer threads; the context's objects must outlive it.
class BRX_Logic_CardDelivery : public QThread
{
    Q_OBJECT
public:
    // The record that comes first: the camera's file name, UTF-8.
    static const int kFrameFromCard = 13;

    BRX_Logic_CardDelivery(const BRX_Logic_DownloadContext& context, const BRX_Logic_CardListing::Entry& file);

protected:
    void run() override;

private:
    void sendQuickView();
    int readOrientation();

    const BRX_Logic_DownloadContext m_context;
    const BRX_Logic_CardListing::Entry m_file;
};

#endif
