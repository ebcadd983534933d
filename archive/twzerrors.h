#pragma once

#include <QString>

#include <stdexcept>

// Errors that the archive lets pass to its caller. what() is UTF-8 and holds
// the text the user is shown.
class TwzError : public std::runtime_error
{
public:
    explicit TwzError(const QString &Message) : std::runtime_error(Message.toStdString()) {}
    QString Message() const { return QString::fromUtf8(what()); }
};

// A number line of an index that is not a 32-bit integer.
class TwzConvertError : public TwzError
{
public:
    explicit TwzConvertError(const QString &TrimmedLine)
        : TwzError(QStringLiteral("'%1' は整数ではありません").arg(TrimmedLine))
    {
    }
};

// A file that exists but cannot be opened for reading.
class TwzFileOpenError : public TwzError
{
public:
    explicit TwzFileOpenError(const QString &FileName)
        : TwzError(QStringLiteral("ファイル %1 は開けません").arg(FileName))
    {
    }
};

// A file that cannot be created for writing.
class TwzFileCreateError : public TwzError
{
public:
    explicit TwzFileCreateError(const QString &FileName)
        : TwzError(QStringLiteral("ファイル %1 を作成できません").arg(FileName))
    {
    }
};

// The output stream refused bytes. Reason carries the device's own error text.
class TwzStreamWriteError : public TwzError
{
public:
    explicit TwzStreamWriteError(const QString &Reason = QString())
        : TwzError(QStringLiteral("ストリームへの書き込みエラー")), FReason(Reason)
    {
    }
    QString Reason() const { return FReason; }

private:
    QString FReason;
};
