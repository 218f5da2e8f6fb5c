#pragma once
// The remembered login: a per-user key-value store with the values User_Name, User_Pass and
// User_Boo under the key "User". Kept as an INI file readable by its owner only (0600),
// by default <generic config folder>/smsclient/login.ini. A store that cannot be read or
// written behaves as if it were absent; callers ignore its failures.

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace smsc {

class LoginStore final {
public:
    // The store at LoginStorePath().
    LoginStore();
    explicit LoginStore(QString filePath);

    const QString& filePath() const { return m_path; }

    // Whether the key "User" exists and the store can be read.
    bool exists() const;
    // A value under the key; nullopt when the store, the key or the value is missing.
    std::optional<QString> value(const QString& name) const;
    // Creates the key when missing and sets the values. False when the store could not be
    // written.
    bool write(const std::vector<std::pair<QString, QString>>& values);

private:
    QString m_path;
};

// Location of the store; tests point it at a temporary folder. An empty path restores the
// default location.
QString LoginStorePath();
void SetLoginStorePath(const QString& filePath);

}  // namespace smsc
