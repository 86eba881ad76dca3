#include "faketransport.h"

FakeTransport::FakeTransport(QObject *parent)
    : Transport(parent)
{
}

QStringList FakeTransport::takeReplies()
{
    QStringList replies;
    replies.swap(m_replies);
    return replies;
}
