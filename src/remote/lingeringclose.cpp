#include "remote/lingeringclose.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QPointer>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

void LingeringClose::watch(QAbstractSocket *socket, int timeoutMs)
{
    // aboutToClose comes before the socket gives up its descriptor; a copy
    // of it keeps the connection open. Once the socket has written what it
    // had and let go (disconnected), the copy shuts the sending side.
    QObject::connect(socket, &QIODevice::aboutToClose, socket, [socket, timeoutMs] {
        const qintptr descriptor = socket->socketDescriptor();
        if (descriptor < 0 || socket->property("kolvexLingering").toBool())
            return;
        const int copy = ::dup(int(descriptor));
        if (copy < 0)
            return;
        socket->setProperty("kolvexLingering", true);
        // Owned by the application, so that none outlives it.
        auto *lingering = new LingeringClose(copy, timeoutMs, QCoreApplication::instance());
        const QPointer<LingeringClose> guarded(lingering);
        QObject::connect(socket, &QAbstractSocket::disconnected, lingering, [guarded] {
            if (guarded) {
                ::shutdown(guarded->m_descriptor, SHUT_WR);
                guarded->m_notifier.setEnabled(true);
            }
        });
        QObject::connect(socket, &QObject::destroyed, lingering, [guarded] {
            if (guarded && !guarded->m_notifier.isEnabled()) {
                ::shutdown(guarded->m_descriptor, SHUT_WR);
                guarded->m_notifier.setEnabled(true);
            }
        });
    });
}

LingeringClose::LingeringClose(int descriptor, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_descriptor(descriptor)
    , m_notifier(descriptor, QSocketNotifier::Read)
{
    m_notifier.setEnabled(false);
    connect(&m_notifier, &QSocketNotifier::activated, this, &LingeringClose::drain);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &QObject::deleteLater);
    m_timeout.start(timeoutMs);
}

LingeringClose::~LingeringClose()
{
    m_notifier.setEnabled(false);
    ::close(m_descriptor);
}

void LingeringClose::drain()
{
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::recv(m_descriptor, chunk, sizeof chunk, MSG_DONTWAIT);
        if (count > 0)
            continue;
        if (count < 0 && (errno == EINTR))
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The peer has closed (or the connection failed): done.
        m_notifier.setEnabled(false);
        deleteLater();
        return;
    }
}
