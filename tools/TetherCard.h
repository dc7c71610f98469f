#ifndef TETHERCARD_H
#define TETHERCARD_H

#include "BRX_SDK_C.h"
#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QList>
#include <QVector>

// The subcommands of the camera's card: files lists it, download fetches
// its files into --out as capture saves them (a progress line each, never
// over an existing file), delete removes files from it. A file is "new"
// while --out holds no file of its name and size (in any of its folders).
class TetherCard
{
public:
    static QList<QCommandLineOption> filesOptions();
    static QList<QCommandLineOption> downloadOptions();
    static QList<QCommandLineOption> deleteOptions();
    static int files(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int download(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int remove(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    // The card as the library lists it now; false, with none, without a
    // camera or when the camera did not list it (kNotListed says so).
    static bool listCard(QVector<BRX_SDK_CardFile>* files);
    static const char* const kNotListed;
    // The files of the card not yet in folder.
    static QVector<BRX_SDK_CardFile> newFiles(const QVector<BRX_SDK_CardFile>& files, const QString& folder);
    static QJsonObject fileJson(const BRX_SDK_CardFile& file);
    // Capacity, free space and pictures left; an empty object when the camera tells none.
    static QJsonObject roomJson();
    static QJsonObject roomJson(const BRX_SDK_CardRoom& room);
    // "12.3 GB free of 32.0 GB, 1234 pictures left"; empty when the camera tells none.
    static QString roomText();
    static QString roomText(const BRX_SDK_CardRoom& room);
};

#endif
