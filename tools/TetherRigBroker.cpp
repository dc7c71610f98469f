#include "TetherRigBroker.h"
#include "TetherRigTopics.h"

#include <QFile>

QList<QCommandLineOption> TetherRigBroker::options()
{
    return {
        {"broker", "The MQTT broker at HOST[:PORT] (default 127.0.0.1:1883).", "HOST[:PORT]", "127.0.0.1:1883"},
        {"rig", "The rig's name: letters, digits, '.', '_' and '-'.", "NAME"},
        {"mqtt-user", "The user name the broker knows.", "USER"},
        {"mqtt-password-file", "A file whose first line is the user's password.", "FILE"},
        {"mqtt-cafile", "Speak TLS to the broker, trusting the certificates in FILE.", "FILE"},
        {"mqtt-cert", "With TLS, this client certificate (PEM).", "FILE"},
        {"mqtt-key", "With TLS, the client certificate's key (PEM).", "FILE"},
    };
}

bool TetherRigBroker::read(const QCommandLineParser& arguments, TetherMqtt::Settings* settings, QString* rig,
                           QString* error)
{
    *rig = arguments.value("rig");
    if (!TetherRigTopics::isName(*rig)) {
        *error = QStringLiteral("--rig takes a name of letters, digits, '.', '_' and '-', not '%1'").arg(*rig);
        return false;
    }
    if (!TetherMqtt::readBroker(arguments.value("broker"), settings)) {
        *error = QStringLiteral("--broker takes HOST[:PORT], not '%1'").arg(arguments.value("broker"));
        return false;
    }
    settings->username = arguments.value("mqtt-user");
    if (arguments.isSet("mqtt-password-file")) {
        QFile file(arguments.value("mqtt-password-file"));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the password file %1").arg(file.fileName());
            return false;
        }
        settings->password = QString::fromUtf8(file.readLine()).trimmed();
    }
    settings->caFile = arguments.value("mqtt-cafile");
    settings->certFile = arguments.value("mqtt-cert");
    settings->keyFile = arguments.value("mqtt-key");
    return true;
}
