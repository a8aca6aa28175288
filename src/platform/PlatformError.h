#pragma once

#include <QString>
#include <exception>

// A failure of a platform service, carried to the caller with the error
// number and description the user may be shown (53 "File not found",
// 481 "Invalid picture", ...). Procedures without their own handling let it
// pass; the page display catches and reports it.
class PlatformError : public std::exception {
public:
    PlatformError(int number, QString description)
        : m_number(number), m_description(std::move(description)),
          m_what(m_description.toUtf8()) {}

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
inline constexpr int InvalidPicture = 481;
} // namespace ErrorNumber
