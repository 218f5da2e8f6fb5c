#include "platform/LoginStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace smsc {
namespace {

const QString kGroup = QStringLiteral("User");

QString& overridePath() {
    static QString path;
    return path;
}

// The password is kept in plain text, so the file must never be readable by others: it is
// created 0600 before QSettings first writes it, and QSettings' atomic rewrite keeps the
// permissions of the file it replaces.
bool prepareFile(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (!info.exists()) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return ::chmod(native.constData(), 0600) == 0;
}

}  // namespace

QString LoginStorePath() {
    if (!overridePath().isEmpty())
        return overridePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/smsclient/login.ini");
}

void SetLoginStorePath(const QString& filePath) {
    overridePath() = filePath;
}

LoginStore::LoginStore() : m_path(LoginStorePath()) {}

LoginStore::LoginStore(QString filePath) : m_path(std::move(filePath)) {}

bool LoginStore::exists() const {
    const QFileInfo info(m_path);
    if (!info.isFile() || !info.isReadable())
        return false;
    QSettings settings(m_path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return false;
    return settings.childGroups().contains(kGroup);
}

std::optional<QString> LoginStore::value(const QString& name) const {
    if (!exists())
        return std::nullopt;
    QSettings settings(m_path, QSettings::IniFormat);
    const QString key = kGroup + QLatin1Char('/') + name;
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key).toString();
}

bool LoginStore::write(const std::vector<std::pair<QString, QString>>& values) {
    if (!prepareFile(m_path))
        return false;
    {
        QSettings settings(m_path, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            return false;
        settings.beginGroup(kGroup);
        for (const auto& [name, text] : values)
            settings.setValue(name, text);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return false;
    }
    return ::chmod(QFile::encodeName(m_path).constData(), 0600) == 0;
}

}  // namespace smsc
