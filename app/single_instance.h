#pragma once
// One reader per user: the first start listens on a local socket; a later
// start hands its chapter address (possibly none) to the first and ends, so
// two readers never compete for the Down key or the settings file.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace novel {

// Per user and per settings file, so that runs with a config folder of their
// own (tests, a second account) do not meet.
[[nodiscard]] QString instance_name(const QString& settings_file);

enum class InstanceRole { first, handed_on };

class SingleInstance final : public QObject {
public:
    explicit SingleInstance(QString name);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Hands `link` (UTF-8, may be empty) to a reader already running, or
    // becomes the one others hand theirs to.
    [[nodiscard]] InstanceRole claim(const QByteArray& link);

    // In the first reader, on the window thread: a later start came with this link.
    std::function<void(const QByteArray& link)> on_handed_on;

private:
    [[nodiscard]] bool hand_on(const QByteArray& link) const;
    void take_connection();

    QString name_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace novel
