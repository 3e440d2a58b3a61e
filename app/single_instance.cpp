#include "app/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace novel {
namespace {

constexpr int HAND_ON_TIMEOUT_MS = 2000;

}  // namespace

QString instance_name(const QString& settings_file) {
    const QByteArray digest =
        QCryptographicHash::hash(settings_file.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("novel_reader-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
}

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

InstanceRole SingleInstance::claim(const QByteArray& link) {
    if (hand_on(link)) return InstanceRole::handed_on;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a reader that was killed answers nobody: take its place.
    if (!server_->listen(name_)) {
        QLocalServer::removeServer(name_);
        (void)server_->listen(name_);
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] { take_connection(); });
    return InstanceRole::first;
}

bool SingleInstance::hand_on(const QByteArray& link) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(HAND_ON_TIMEOUT_MS)) return false;
    socket.write(link + '\n');
    if (!socket.waitForBytesWritten(HAND_ON_TIMEOUT_MS)) return false;
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::take_connection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // The message is one line; it may arrive in pieces, or all of it
        // before the connection is taken.
        const auto read = [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray link = socket->readLine().chopped(1);
            if (on_handed_on) on_handed_on(link);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        connect(socket, &QLocalSocket::disconnected, this, [socket, read] {
            read();
            socket->deleteLater();
        });
        read();
    }
}

}  // namespace novel
