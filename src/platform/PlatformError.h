#pragma once

#include <QString>
#include <exception>

// A failure of a platform service, carried to the caller with the error
// number and description the user may be shown (53 "File not found",
// 481 "Invalid picture", ...). Procedures without their own handling let it
// pass; the page display catches and reports it.
class PlatformError : public std::exception {
public:
    // With the usual description of the number (see errorDescription).
    explicit PlatformError(int number);
    PlatformError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8())
    {
    }

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// The error numbers the program's messages use.
namespace ErrorNumber {
inline constexpr int OutOfMemory = 7;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int InvalidPicture = 481;
} // namespace ErrorNumber

// The words the user sees for an error number.
inline QString errorDescription(int number)
{
    switch (number) {
    case ErrorNumber::OutOfMemory: return QStringLiteral("Out of memory");
    case ErrorNumber::FileNotFound: return QStringLiteral("File not found");
    case ErrorNumber::FileAlreadyExists: return QStringLiteral("File already exists");
    case ErrorNumber::DeviceUnavailable: return QStringLiteral("Device unavailable");
    case ErrorNumber::PermissionDenied: return QStringLiteral("Permission denied");
    case ErrorNumber::DiskNotReady: return QStringLiteral("Disk not ready");
    case ErrorNumber::PathFileAccessError: return QStringLiteral("Path/File access error");
    case ErrorNumber::PathNotFound: return QStringLiteral("Path not found");
    case ErrorNumber::InvalidPicture: return QStringLiteral("Invalid picture");
    default: return QStringLiteral("Error %1").arg(number);
    }
}

inline PlatformError::PlatformError(int number) : PlatformError(number, errorDescription(number)) {}
