#ifndef TETHERCOMMANDTABLE_H
#define TETHERCOMMANDTABLE_H

#include <QByteArray>
#include <QCommandLineOption>
#include <QList>
#include <QString>

// tether's subcommands, options and property names as one JSON document,
// printed by the hidden option --command-table. The build makes tether's man
// page and bash completion from it, so that they say what --help says and
// know every subcommand and option the program has.
class TetherCommandTable
{
public:
    static const char* const kOption;

    // The texts --help shows around its lists.
    struct Texts {
        QString usage;
        QString description;
        QString exitStatus;
    };
    struct Subcommand {
        QString name;
        QString synopsis;
        QString summary;
        QList<QCommandLineOption> options;
    };

    // {"usage", "description", "exitStatus", "globalOptions", "subcommands",
    // "properties"}; an option is {"names", "valueName", "description",
    // "defaultValues"}, a property {"name", "number", "settable", "takesValue"}.
    static QByteArray json(const Texts& texts, const QList<QCommandLineOption>& globalOptions,
                           const QList<Subcommand>& subcommands);
};

#endif
