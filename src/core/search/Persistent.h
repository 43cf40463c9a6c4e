// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <exception>

// A persistent-object base: an object whose values can be copied from
// another of its class with a virtual Assign. Copying from an object of another class (or from
// none) raises an assignment error (EConvertError).

// The error of a failed conversion or assignment, carrying its message text. The one exception the
// core throws, and only for a programming error (assigning across classes), never for anything the
// user can cause: those are returned as a Status (see docs/errors.md).
class EConvertError : public std::exception
{
public:
    explicit EConvertError(QString message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

class TPersistent
{
public:
    virtual ~TPersistent() = default;
    // Copies the values of source. The base raises EConvertError "Cannot assign a %s to a %s"
    // with the source's class name ("nil" for none) and this object's class name.
    virtual void Assign(const TPersistent *source);
    void Assign(const TPersistent &source) { Assign(&source); }
    virtual const char *ClassName() const = 0;

protected:
    TPersistent() = default;
    TPersistent(const TPersistent &) = default;
    TPersistent &operator=(const TPersistent &) = default;
    [[noreturn]] void AssignError(const TPersistent *source) const;
};
