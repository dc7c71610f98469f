#include "TetherCommandTable.h"
#include "TetherProperties.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

const char* const TetherCommandTable::kOption = "--command-table";

namespace {

QJsonArray jsonOfOptions(const QList<QCommandLineOption>& options)
{
    QJsonArray array;
    for (const QCommandLineOption& option : options) {
        array << QJsonObject{{"names", QJsonArray::fromStringList(option.names())},
                             {"valueName", option.valueName()},
                             {"description", option.description()},
                             {"defaultValues", QJsonArray::fromStringList(option.defaultValues())}};
    }
    return array;
}

// Every property the library describes; none needs a camera.
QJsonArray jsonOfProperties()
{
    QJsonArray array;
    BRX_SDK_PropertyDescription description;
    for (int property = 0; BRX_SDK_describeProperty(property, &description); ++property) {
        array << QJsonObject{{"name", QLatin1String(description.name)},
                             {"number", property},
                             {"settable", TetherProperties::isWritable(description)},
                             {"takesValue", description.payload != BRX_SDK_PayloadNone}};
    }
    return array;
}

} // namespace

QByteArray TetherCommandTable::json(const Texts& texts, const QList<QCommandLineOption>& globalOptions,
                                    const QList<Subcommand>& subcommands)
{
    QJsonArray subcommandArray;
    for (const Subcommand& subcommand : subcommands) {
        subcommandArray << QJsonObject{{"name", subcommand.name},
                                       {"synopsis", subcommand.synopsis},
                                       {"summary", subcommand.summary},
                                       {"options", jsonOfOptions(subcommand.options)}};
    }
    const QJsonObject table{{"usage", texts.usage},
                            {"description", texts.description},
                            {"exitStatus", texts.exitStatus},
                            {"globalOptions", jsonOfOptions(globalOptions)},
                            {"subcommands", subcommandArray},
                            {"properties", jsonOfProperties()}};
    return QJsonDocument(table).toJson(QJsonDocument::Indented);
}
