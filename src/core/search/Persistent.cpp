// SPDX-License-Identifier: GPL-3.0-or-later
#include "Persistent.h"

EConvertError::EConvertError(QString message)
    : m_message(std::move(message))
    , m_what(m_message.toUtf8())
{
}

void TPersistent::Assign(const TPersistent *source)
{
    AssignError(source);
}

void TPersistent::AssignError(const TPersistent *source) const
{
    const QString sourceName = source ? QString::fromLatin1(source->ClassName()) : QStringLiteral("nil");
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(sourceName, QString::fromLatin1(ClassName())));
}
