#include "TetherCard.h"
#include "BRX_SDK.h"
#include "TetherProperties.h"
#include "TetherShooting.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QSet>

namespace {

// Rooms for the listing grow to what the card holds.
const unsigned int kFirstListing = 256;

QString sizeText(quint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
}

QString nameOf(const BRX_SDK_CardFile& file)
{
    return QString::fromUtf8(file.name);
}

// Name and size of every file under folder.
QSet<QPair<QString, qint64>> filesIn(const QString& folder)
{
    QSet<QPair<QString, qint64>> found;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        found.insert({it.fileName(), it.fileInfo().size()});
    }
    return found;
}

// The files words name (all without words); false, with the name, for a
// name not on the card.
bool pick(const QVector<BRX_SDK_CardFile>& card, const QStringList& names, QVector<BRX_SDK_CardFile>* picked,
          QString* missing)
{
    for (const QString& name : names) {
        bool found = false;
        for (const BRX_SDK_CardFile& file : card) {
            if (nameOf(file).compare(name, Qt::CaseInsensitive) == 0) {
                picked->append(file);
                found = true;
            }
        }
        if (!found) {
            *missing = name;
            return false;
        }
    }
    return true;
}

bool startAndWait(TetherSession& session)
{
    return session.start() && session.waitForCamera(session.options().timeoutMs);
}

// The card's files; false, having said so, when the camera did not list them.
bool listCardOrSay(TetherSession& session, QVector<BRX_SDK_CardFile>* card)
{
    if (TetherCard::listCard(card))
        return true;
    session.output().error(QString::fromLatin1(TetherCard::kNotListed));
    return false;
}

// Which files a download takes: --all, --new or the names; empty reason when right.
QString chooseDownload(const QCommandLineParser& arguments, const QStringList& words,
                       const QVector<BRX_SDK_CardFile>& card, QVector<BRX_SDK_CardFile>* chosen)
{
    const int ways = int(arguments.isSet("all")) + int(arguments.isSet("new")) + int(!words.isEmpty());
    if (ways != 1)
        return QStringLiteral("download takes --all, --new or the names of files on the card");
    if (arguments.isSet("all"))
        *chosen = card;
    else if (arguments.isSet("new"))
        *chosen = TetherCard::newFiles(card, arguments.value("out"));
    else {
        QString missing;
        if (!pick(card, words, chosen, &missing))
            return QStringLiteral("there is no file '%1' on the card (tether files lists them)").arg(missing);
    }
    return QString();
}

} // namespace

QList<QCommandLineOption> TetherCard::filesOptions()
{
    return {TetherProperties::jsonOption(),
            {"new", "Only the files not yet in --out (a file of the same name and size in it or its folders)."},
            {"out", "The folder --new looks in (default: the current folder).", "DIR", "."}};
}

QList<QCommandLineOption> TetherCard::downloadOptions()
{
    return QList<QCommandLineOption>{{"all", "Every file on the card."},
                                     {"new", "The files not yet in --out."}}
         + TetherShooting::pictureOptions() + QList<QCommandLineOption>{TetherProperties::jsonOption()};
}

QList<QCommandLineOption> TetherCard::deleteOptions()
{
    return {{"yes", "Really delete: without it nothing is deleted."}};
}

const char* const TetherCard::kNotListed = "the camera did not list its card";

bool TetherCard::listCard(QVector<BRX_SDK_CardFile>* files)
{
    files->resize(int(kFirstListing));
    unsigned int count = 0;
    bool listed = BRX_SDK_listCard(files->data(), unsigned(files->size()), &count);
    while (!listed && count > unsigned(files->size())) {
        files->resize(int(count));
        listed = BRX_SDK_listCard(files->data(), unsigned(files->size()), &count);
    }
    files->resize(listed ? int(count) : 0);
    return listed;
}

QVector<BRX_SDK_CardFile> TetherCard::newFiles(const QVector<BRX_SDK_CardFile>& files, const QString& folder)
{
    const QSet<QPair<QString, qint64>> saved = filesIn(folder);
    QVector<BRX_SDK_CardFile> fresh;
    for (const BRX_SDK_CardFile& file : files) {
        if (!saved.contains({nameOf(file), qint64(file.size)}))
            fresh.append(file);
    }
    return fresh;
}

QJsonObject TetherCard::fileJson(const BRX_SDK_CardFile& file)
{
    return QJsonObject{{"id", double(file.id)},
                       {"name", nameOf(file)},
                       {"folder", QString::fromUtf8(file.folder)},
                       {"size", double(file.size)},
                       {"captured", QString::fromLatin1(file.captured)},
                       {"format", file.format},
                       {"delivered", file.delivered}};
}

QJsonObject TetherCard::roomJson()
{
    BRX_SDK_CardRoom room{};
    return BRX_SDK_getCardRoom(&room) ? roomJson(room) : QJsonObject();
}

QJsonObject TetherCard::roomJson(const BRX_SDK_CardRoom& room)
{
    return QJsonObject{{"capacityBytes", double(room.capacityBytes)},
                       {"freeBytes", double(room.freeBytes)},
                       {"picturesLeft", double(room.picturesLeft)}};
}

QString TetherCard::roomText()
{
    BRX_SDK_CardRoom room{};
    return BRX_SDK_getCardRoom(&room) ? roomText(room) : QString();
}

QString TetherCard::roomText(const BRX_SDK_CardRoom& room)
{
    QString text = QStringLiteral("%1 free of %2").arg(sizeText(room.freeBytes), sizeText(room.capacityBytes));
    if (room.picturesLeft >= 0)
        text += QStringLiteral(", %1 pictures left").arg(room.picturesLeft);
    return text;
}

// Newest last: the camera's order, which is the order the pictures were taken.
int TetherCard::files(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty()) {
        session.output().error(QStringLiteral("files takes no arguments"));
        return kExitUsage;
    }
    if (!startAndWait(session))
        return kExitCamera;
    QVector<BRX_SDK_CardFile> card;
    if (!listCardOrSay(session, &card))
        return kExitCamera;
    if (arguments.isSet("new"))
        card = newFiles(card, arguments.value("out"));
    if (arguments.isSet("json")) {
        QJsonArray array;
        for (const BRX_SDK_CardFile& file : card)
            array << fileJson(file);
        session.output().json(QJsonObject{{"files", array}, {"room", roomJson()}});
        return kExitOk;
    }
    for (const BRX_SDK_CardFile& file : card)
        session.output().result(QStringLiteral("%1  %2  %3 bytes  %4%5")
                                    .arg(nameOf(file), -14)
                                    .arg(QString::fromLatin1(file.captured), -19)
                                    .arg(file.size, 10)
                                    .arg(QString::fromUtf8(file.folder))
                                    .arg(file.delivered ? QStringLiteral("  (delivered)") : QString()));
    session.output().result(QStringLiteral("%1 files; %2").arg(card.size()).arg(roomText()));
    return kExitOk;
}

// One file after the other through the frame records, saved as capture saves pictures.
int TetherCard::download(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    TetherPictures pictures(TetherShooting::pictureSettings(arguments), session.output());
    if (!TetherShooting::beginShooting(session, pictures))
        return kExitUsage;
    // The card's own record names each file.
    session.setWantQuickView(false);
    if (!session.waitForCamera(session.options().timeoutMs)) {
        session.shutdown();
        session.removeFrameSink(&pictures);
        return kExitCamera;
    }
    const TetherShooting::Summary summary = TetherShooting::summaryFor(arguments.isSet("json"));
    QVector<BRX_SDK_CardFile> card;
    if (!listCardOrSay(session, &card))
        return TetherShooting::endShooting(session, pictures, kExitCamera, summary);
    QVector<BRX_SDK_CardFile> chosen;
    const QString reason = chooseDownload(arguments, words, card, &chosen);
    if (!reason.isEmpty()) {
        session.output().error(reason);
        return TetherShooting::endShooting(session, pictures, kExitUsage, summary);
    }
    bool complete = true;
    for (const BRX_SDK_CardFile& file : chosen) {
        const int before = pictures.savedPaths().size() + pictures.failures();
        complete = BRX_SDK_deliverCardFile(file.id)
                && session.waitFor([&] { return pictures.savedPaths().size() + pictures.failures() > before; },
                                   session.options().timeoutMs);
        if (!complete) {
            session.output().error(QStringLiteral("%1 did not arrive").arg(nameOf(file)));
            break;
        }
    }
    return TetherShooting::endShooting(session, pictures, complete ? kExitOk : kExitCamera, summary);
}

int TetherCard::remove(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (words.isEmpty() || !arguments.isSet("yes")) {
        session.output().error(QStringLiteral("delete takes the names of files on the card and --yes"));
        return kExitUsage;
    }
    if (!startAndWait(session))
        return kExitCamera;
    QVector<BRX_SDK_CardFile> card;
    if (!listCardOrSay(session, &card))
        return kExitCamera;
    QVector<BRX_SDK_CardFile> chosen;
    QString missing;
    if (!pick(card, words, &chosen, &missing)) {
        session.output().error(QStringLiteral("there is no file '%1' on the card (tether files lists them)").arg(missing));
        return kExitCamera;
    }
    int result = kExitOk;
    for (const BRX_SDK_CardFile& file : chosen) {
        char reason[128] = "";
        if (BRX_SDK_deleteCardFile(file.id, reason, sizeof reason)) {
            session.output().progress(QStringLiteral("deleted %1").arg(nameOf(file)));
            continue;
        }
        session.output().error(QStringLiteral("%1 not deleted: %2").arg(nameOf(file), QString::fromUtf8(reason)));
        result = kExitCamera;
    }
    return result;
}
