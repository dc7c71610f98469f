#include "TetherServeCard.h"
#include "BRX_SDK.h"
#include "TetherCard.h"

#include <QJsonArray>

#include <algorithm>

namespace {

// Far above the virtual and the real cameras' thumbnails.
const unsigned int kThumbnailRoom = 4u << 20;

TetherServeReply noFile(quint32 id)
{
    return TetherServeReply::error(404, QStringLiteral("there is no file %1 on the card").arg(id));
}

TetherServeReply notListed()
{
    return TetherServeReply::error(502, QString::fromLatin1(TetherCard::kNotListed));
}

const BRX_SDK_CardFile* findFile(const QVector<BRX_SDK_CardFile>& card, quint32 id)
{
    const auto found =
        std::find_if(card.begin(), card.end(), [id](const BRX_SDK_CardFile& file) { return file.id == id; });
    return found == card.end() ? nullptr : &*found;
}

} // namespace

TetherServeCard::TetherServeCard(const QString& folder)
    : m_folder(folder)
{
}

TetherServeReply TetherServeCard::page(int offset, int limit) const
{
    QVector<BRX_SDK_CardFile> card;
    if (!TetherCard::listCard(&card))
        return notListed();
    const int first = qBound(0, offset, card.size());
    const int count = qBound(1, limit > 0 ? limit : kPageSize, kMaxPageSize);
    QJsonArray files;
    for (int i = first; i < qMin(card.size(), first + count); ++i) {
        QJsonObject file = TetherCard::fileJson(card.at(i));
        const QString base = QStringLiteral("/api/card/%1").arg(card.at(i).id);
        file.insert("thumbnail", base + QStringLiteral("/thumbnail"));
        file.insert("url", base + QStringLiteral("/file"));
        files << file;
    }
    return TetherServeReply::json(QJsonObject{
        {"files", files}, {"offset", first}, {"total", card.size()}, {"room", TetherCard::roomJson()}});
}

TetherServeReply TetherServeCard::thumbnail(quint32 id) const
{
    std::string bytes(kThumbnailRoom, '\0');
    unsigned int written = 0;
    if (!BRX_SDK_readCardThumbnail(id, &bytes[0], kThumbnailRoom, &written))
        return TetherServeReply::error(404, QStringLiteral("file %1 of the card has no thumbnail").arg(id));
    bytes.resize(written);
    return {200, bytes, "image/jpeg"};
}

TetherServeReply TetherServeCard::file(quint32 id) const
{
    QVector<BRX_SDK_CardFile> card;
    if (!TetherCard::listCard(&card))
        return notListed();
    const BRX_SDK_CardFile* found = findFile(card, id);
    if (!found)
        return noFile(id);
    std::string bytes(size_t(found->size), '\0');
    unsigned long long written = 0;
    if (!BRX_SDK_downloadCardFile(id, &bytes[0], found->size, &written))
        return TetherServeReply::error(502, QStringLiteral("the camera did not give %1").arg(found->name));
    return {200, bytes, "application/octet-stream"};
}

TetherServeReply TetherServeCard::importNew() const
{
    QVector<BRX_SDK_CardFile> card;
    if (!TetherCard::listCard(&card))
        return notListed();
    QJsonArray importing;
    for (const BRX_SDK_CardFile& file : TetherCard::newFiles(card, m_folder)) {
        if (BRX_SDK_deliverCardFile(file.id))
            importing << QString::fromUtf8(file.name);
    }
    return TetherServeReply::json(QJsonObject{{"importing", importing}});
}
