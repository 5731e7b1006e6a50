#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include "console/desktop_notice.h"

namespace zv {

void showDesktopNotice(const QString& summary, const QString& message) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue<uchar>(2)}};
    notify << QStringLiteral("Electronic Claims Secure File Transfer") << 0u
           << QStringLiteral("zuduvor") << summary << message << QStringList() << hints << -1;
    // A desktop without a notification service answers at once; a hung one is not
    // waited on for long.
    (void)bus.call(notify, QDBus::Block, 3000);
}

}  // namespace zv
